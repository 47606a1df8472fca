// PNG pictures through libpng: every colour type and bit depth read into the raster image's six
// formats (alpha composited onto a background colour or kept/dropped), interlaced too, and written
// from each format. A picture cut short keeps the rows decoded before the break.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/image/image.h"

struct png_struct_def;

namespace lumra::image {

// libpng's write callback type (png_rw_ptr); the context is libpng's io pointer.
using PngWriteFn = void (*)(png_struct_def* png, unsigned char* data, size_t length);

// Reads the file at `path` (names and what a failure leaves: picture_file.h; a picture cut short
// keeps the rows decoded). `resolution` (x, y in dots per inch, rounded from the pHYs chunk; 0
// without one) is written once the header has been read. `background` (a colour value, or null)
// flattens alpha.
int read_png(float resolution[2], Image* img, const char* path, const uint32_t* background);
int read_png_memory(float resolution[2], Image* img, const uint8_t* data, size_t size, const uint32_t* background);

// Writes `img`; with `callback` the bytes go to it (context as libpng's io pointer) and no file
// is opened, else the file at `path` is created. Resolutions in whole dots per inch (pHYs only
// when both are non-zero). A file that could not be written completely is removed.
int write_png(const Image* img, const char* path, PngWriteFn callback, void* context, int32_t x_resolution,
              int32_t y_resolution);
// The public save call: to the file, no callback.
int save_png(const Image* img, const char* path, int32_t x_resolution, int32_t y_resolution);

}  // namespace lumra::image
