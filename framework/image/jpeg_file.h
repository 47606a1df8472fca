// JPEG pictures through libjpeg (libjpeg-turbo's version 62 interface): grayscale files read as
// Gray8, every other colour space as Rgb32; Gray8 and Rgb32 images written. Progressive files with
// more scans than the picture limits allow (kMaxJpegScans) are refused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/image/image.h"
#include "framework/image/picture_limits.h"

struct jpeg_destination_mgr;

namespace lumra::image {

// Reads the file at `path` (names and what a failure leaves: picture_file.h; after allocating,
// the image keeps its pixels, rows never decoded 0). The resolutions (dots per inch; 0 without a
// density unit) are written as soon as the header has been read; either pointer may be null.
// Rgb32 pixels carry 255 (opaque) in their fourth byte.
int read_jpeg(Image* img, const char* path, float* x_resolution, float* y_resolution);
int read_jpeg_memory(Image* img, const uint8_t* data, size_t size, float* x_resolution, float* y_resolution);

// Writes a Gray8 or Rgb32 image (others give 0 before any file is created) at `quality` 0..100.
// With `destination` (a libjpeg destination manager) no file is opened. Both resolutions non-zero
// store them as dots per inch. A file that could not be written completely is removed.
int write_jpeg(const Image* img, const char* path, jpeg_destination_mgr* destination, int32_t quality,
               int32_t x_resolution, int32_t y_resolution);
// The public save call: to the file.
int save_jpeg(const Image* img, const char* path, int32_t quality, int32_t x_resolution, int32_t y_resolution);

}  // namespace lumra::image
