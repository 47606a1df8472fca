// PCX pictures: reading one plane (1 bit, Mono1) or four planes (16 colours, Indexed4), and
// writing Mono1 images. Runs may cross line ends; whatever a line holds beyond the image row is
// dropped. Other bit depths and plane counts are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/image/image.h"

namespace lumra::image {

inline constexpr size_t kPcxHeaderSize = 128;

// Reads the file at `path` (names and what a failure leaves: picture_file.h; data that ends
// before the last row releases the pixels). `header` is zeroed first and receives the file's
// 128-byte header.
int read_pcx(uint8_t header[kPcxHeaderSize], Image* img, const char* path);
int read_pcx_memory(uint8_t header[kPcxHeaderSize], Image* img, const uint8_t* data, size_t size);

// Writes a Mono1 image run-length coded; any other format gives 0 before the file is created.
// A file that cannot be written completely is removed and gives 0.
int save_pcx(const Image* img, const char* path, int32_t horizontal_resolution, int32_t vertical_resolution);

// Run-length codes one row of `n` bytes into `out` (room for 2 n bytes); returns the bytes used.
size_t pcx_encode_row(const uint8_t* row, size_t n, uint8_t* out);

}  // namespace lumra::image
