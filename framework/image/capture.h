// Capturing a bitmap into a raster image in any pixel format, optionally with a progress line that
// sweeps down the bitmap's place on screen while it is read; and capturing part of the back buffer.
// Bitmaps of 4, 8, 16, 24 and 32 bits per pixel; 4- and 8-bit ones index the window palette.
#pragma once

#include <cstdint>

#include "framework/image/image.h"

namespace lumra::image {

// A device bitmap as capture reads it. Rows top-down; 24 and 32 bits are blue, green, red bytes,
// 16 bits 5-6-5 little-endian, 4 bits high nibble first.
struct CaptureBitmap {
  const uint8_t* pixels;
  int32_t width;
  int32_t height;
  int32_t stride;
  int32_t bits_per_pixel;
};

// Where the bitmap is shown on screen (drawing coordinates).
struct ProgressRect {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

// The bitmap handle followed by the progress rectangle.
struct CaptureRecord {
  const CaptureBitmap* bitmap;
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

// `img` (released first) becomes the bitmap in `format` at width x height (0: the bitmap's own; a
// different size is captured as Rgb32 and resampled with colour mode 4). With `progress` a white
// line sweeps down the rectangle, each row restored from the bitmap once read. 1, or 0 with a reason.
int image_capture(Image* img, const CaptureBitmap* bitmap, int32_t width, int32_t height, int32_t format,
                  const ProgressRect* progress);
// The record's rectangle is passed on only when show_progress is non-zero.
int image_capture_record(Image* img, const CaptureRecord* record, int32_t width, int32_t height, int32_t format,
                         int32_t show_progress);
// No rectangle, the bitmap's own size.
int image_capture_bitmap(Image* img, const CaptureBitmap* bitmap, int32_t format);

// The back buffer's w x h pixels at (x, y) (drawing coordinates, cut to the buffer), as a snapshot
// bitmap shown at that place: the progress line runs over the screen and is wiped row by row.
int image_capture_screen(Image* img, int32_t x, int32_t y, int32_t w, int32_t h, int32_t format, int32_t show_progress);

}  // namespace lumra::image
