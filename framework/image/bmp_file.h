// Windows bitmaps: reading 1, 4, 8, 24 and 32 bits per pixel (any information header of 40 bytes
// or more, bottom-up or top-down rows, 8- and 4-bit run-length codes, 32-bit bit fields) and
// writing with a 40-byte header. Embedded JPEG/PNG and the 12-byte OS/2 header are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/image/image.h"

namespace lumra::image {

inline constexpr size_t kBmpHeaderSize = 54;  // file header (14) + 40-byte information header

// Reads the file at `path` into `img` (names and what a failure leaves: picture_file.h). `header`
// is zeroed first and receives the file's first 54 bytes. 1 on success, 0 with a reason.
int read_bmp(uint8_t header[kBmpHeaderSize], Image* img, const char* path);
// The same from bytes in memory.
int read_bmp_memory(uint8_t header[kBmpHeaderSize], Image* img, const uint8_t* data, size_t size);

// Writes `img` with 1, 4, 8 or 24 bits per pixel by format; resolutions in whole dots per inch.
// A file that cannot be written completely is removed.
int save_bmp(const Image* img, const char* path, int32_t x_resolution, int32_t y_resolution);

}  // namespace lumra::image
