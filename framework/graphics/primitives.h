// The drawing primitives: rectangles, lines, polylines, filled polygons and single pixels on the
// back buffer, in the current colours, pen and clip, with coordinates relative to the viewport's
// top-left corner. While the draw-through flag is on each shows the rectangle it changed at once.
#pragma once

#include <cstdint>

#include "framework/graphics/draw_state.h"

namespace lumra::graphics {

// GetPixel's answer for a point outside the clip.
inline constexpr uint32_t kInvalidColour = 0xFFFFFFFFu;

// Both corners inside, in any order; painted with the fill brush (nothing before the first fill
// colour is set).
void fill_rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void fill_rectangle_colour(int32_t c, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// w x h pixels at (x, y) in a COLORREF (top byte ignored); a negative w or h extends left or up.
void fill_rectangle_rgb(int32_t x, int32_t y, uint32_t colour, int32_t w, int32_t h);

// Both end points are painted.
void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// n points; up to 128 need no heap memory.
void polyline(int32_t n, const Point* points);
// Filled by the alternate rule in `fill` (a COLORREF), outlined with the pen: in `fill` when
// `outline` is negative, else in the pixel colour of colour number `outline`. Pen and fill brush
// stay changed afterwards.
void filled_polygon(int32_t n, const Point* points, int32_t outline, uint32_t fill);

void put_pixel(int32_t x, int32_t y, int32_t c);
void put_pixel_rgb(int32_t x, int32_t y, uint32_t colour);
// 1 and the pixel's COLORREF, or 0 and kInvalidColour outside the clip.
int get_pixel(int32_t x, int32_t y, uint32_t* colour);

// The end point a thin line is drawn to so that the line, which leaves out its last pixel, still
// paints (x2, y2). Exposed for tests.
Point64 extended_end(Point64 a, Point64 b);

}  // namespace lumra::graphics
