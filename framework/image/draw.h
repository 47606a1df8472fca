// Drawing a raster image into the graphics window: a source rectangle at a position relative to the
// viewport, optionally scaled, with the image's transparency mode, mapped to the window's colours
// by one of six colour modes. Only the graphics window is a target; the printing target is not built.
#pragma once

#include <cstdint>

#include "framework/image/image.h"

namespace lumra::image {

// Colour modes. They matter on the slow path only (shrinking without fastStretch, or pixel
// filters installed); the fast path shows the image's own colours.
inline constexpr int32_t kDrawNothing = 0;
inline constexpr int32_t kDrawMono = 1;         // black-and-white dither
inline constexpr int32_t kDrawGray = 2;         // nearest gray
inline constexpr int32_t kDrawGrayDither = 3;   // gray dither
inline constexpr int32_t kDrawNearest = 4;      // nearest window colour
inline constexpr int32_t kDrawColourDither = 5; // colour dither
inline constexpr int32_t kDrawTrueColour = 6;

// The slow path's band buffer stays below this many bytes (image and mask halves together).
inline constexpr int64_t kBandLimit = 0x400000;

// Draws source rectangle (source_x, source_y, source_width, source_height) of the image at (x, y),
// draw_width x draw_height pixels (one of them 0: it follows the image's aspect ratio; both 0: the
// source size). A source rectangle is used only when both its sides are non-zero. Returns 1 when
// the drawing ran (it may still have painted nothing that is visible), 0 when nothing was drawn:
// an empty image, a negative size, colour mode 0 or outside 1..6, no window, or no memory.
int image_draw(Image* img, int32_t x, int32_t y, int32_t colour_mode, int32_t draw_width = 0, int32_t draw_height = 0,
               int32_t source_x = 0, int32_t source_y = 0, int32_t source_width = 0, int32_t source_height = 0);

// Which path the last image_draw took, for tests and benchmarks.
enum class DrawPath { kNone, kFast, kSlow };
struct DrawReport {
  DrawPath path;
  int32_t draw_width;
  int32_t draw_height;
  int32_t band_rows;   // rows of one band on the slow path
  int32_t band_count;  // bands output
  int32_t masked;      // 1 when a mask was used
};
DrawReport last_draw_report();

// Releases the process-wide work buffer drawing keeps (it is also released when the program ends).
void release_draw_buffer();
// Its size now, for tests.
size_t draw_buffer_size();

}  // namespace lumra::image
