// TIFF pictures as files have them today: the first directory of a little- or big-endian file,
// strips or tiles, uncompressed, LZW (both the TIFF 6.0 form and the older one), deflate or
// PackBits, with the horizontal predictor for 8- and 16-bit samples; gray, palette and RGB of 8
// bits, gray and RGB of 16 bits (reduced to their high bytes), and extra samples (alpha dropped,
// or flattened onto a background colour when one is given). Planar layouts, fax, JPEG, LogLuv and
// floating-point samples are refused with their reason.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/image/image.h"

namespace lumra::image {

// What the reader found in the file, in the order of its fields.
struct TiffDescription {
  uint16_t byte_order;  // 0x4949 "II" or 0x4D4D "MM"
  uint32_t first_directory;
  uint32_t photometric;
  uint32_t width;
  uint32_t height;
  uint32_t rows_per_strip;
  uint32_t strip_byte_count;  // the first strip's, recorded only
  uint32_t strip_count;
  uint32_t bits;
  uint32_t compression;
  float x_resolution;  // dots per inch: the file's value times the unit factor (0 without a unit)
  float y_resolution;
};

// Limits beyond the picture's pixel count.
inline constexpr uint32_t kTiffMaxStrips = 1u << 20;
inline constexpr uint32_t kTiffMaxEntries = 4096;

// Reads the file at `path` (names and what a failure leaves: picture_file.h). `description` (may
// be null) is zeroed first and filled as far as the file was read. Everything is checked before
// the image is allocated. `background` (a colour value, may be null) is what an alpha sample
// flattens the picture onto, as for PNG; without it the alpha is dropped. The strip fields of the
// description stay 0 for tiled files.
int read_tiff(TiffDescription* description, Image* img, const char* path, const uint32_t* background = nullptr);
int read_tiff_memory(TiffDescription* description, Image* img, const uint8_t* data, size_t size,
                     const uint32_t* background = nullptr);

}  // namespace lumra::image
