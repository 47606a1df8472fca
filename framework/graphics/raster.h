// The software rasterizer: pure functions that paint a PaintBuffer inside a clip (a rectangle,
// optionally narrowed to a region of row spans) with GDI's pixel rules. Coordinates are 64-bit
// device pixels, so any 32-bit coordinate plus a viewport offset is exact; nothing outside the clip
// is ever written, however far outside the buffer the geometry lies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/graphics/back_buffer.h"

namespace lumra::graphics {

struct Point64 {
  int64_t x;
  int64_t y;
};

// Pixels x0 .. x1 - 1 of one row.
struct Span {
  int32_t x0;
  int32_t x1;
};

// A set of pixels: for each row top .. bottom - 1, sorted disjoint spans. Made by
// region_from_polygon, freed by region_release; an all-zero record is the empty region.
struct RegionMask {
  int32_t top;
  int32_t bottom;
  uint32_t* row_start;  // bottom - top + 1 indices into spans (framework heap)
  Span* spans;          // framework heap
  uint32_t span_count;
};

// Right and bottom exclusive, always within the buffer; mask null: the whole rectangle.
struct RasterClip {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  const RegionMask* mask;
};

// The union of what a drawing changed, for presenting just that; empty while right <= left.
struct Touched {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// Grows `t` to cover the rectangle (right and bottom exclusive).
inline void touch(Touched* t, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (t->right <= t->left) {
    *t = Touched{left, top, right, bottom};
    return;
  }
  if (left < t->left) t->left = left;
  if (top < t->top) t->top = top;
  if (right > t->right) t->right = right;
  if (bottom > t->bottom) t->bottom = bottom;
}

struct RasterTarget {
  PaintBuffer* buffer;
  RasterClip clip;
  Touched touched;
};

enum class FillRule { kAlternate, kWinding };

// Line styles of the pen record.
inline constexpr int32_t kStyleSolid = 0;
inline constexpr int32_t kStyleDash = 1;
inline constexpr int32_t kStyleDot = 2;
inline constexpr int32_t kStyleDashDot = 3;
inline constexpr int32_t kStyleDashDotDot = 4;
inline constexpr int32_t kStyleNull = 5;
inline constexpr int32_t kStyleInsideFrame = 6;

// Lines and polygons take points within +-kMaxCoordinate (any 32-bit coordinate plus a 32-bit
// viewport offset is far inside); a line or polygon with a point beyond it is not drawn, so that
// no difference of two points can overflow.
inline constexpr int64_t kMaxCoordinate = int64_t{1} << 40;
inline bool raster_in_range(Point64 p) {
  return p.x >= -kMaxCoordinate && p.x <= kMaxCoordinate && p.y >= -kMaxCoordinate && p.y <= kMaxCoordinate;
}

// Pens wider than this are drawn this wide: such a pen covers every pixel of the largest buffer
// whenever its centre line passes within half of it, and the bound keeps the exact arithmetic of
// the pen's edge inside 128 bits.
inline constexpr int64_t kMaxPenWidth = 65536;

// A target over the buffer with the clip rectangle [left, right) x [top, bottom) cut to the buffer
// (reversed edges make an empty clip).
RasterTarget raster_target(PaintBuffer* buffer, int64_t left, int64_t top, int64_t right, int64_t bottom,
                           const RegionMask* mask);

bool raster_inside(const RasterClip& clip, int64_t x, int64_t y);

// Fills [x0, x1) of row y, cut to the clip.
void raster_span(RasterTarget* target, int64_t y, int64_t x0, int64_t x1, uint32_t colour);
// Fills [left, right) x [top, bottom), cut to the clip.
void raster_fill_rect(RasterTarget* target, int64_t left, int64_t top, int64_t right, int64_t bottom,
                      uint32_t colour);
void raster_pixel(RasterTarget* target, int64_t x, int64_t y, uint32_t colour);
// The COLORREF at (x, y); false outside the clip.
bool raster_get_pixel(const RasterTarget& target, int64_t x, int64_t y, uint32_t* colour);

// A one-pixel ("cosmetic") line from a towards b, b itself left out. Styles 1..4 paint their
// dash pattern from *phase (pixels along the major axis; advanced past the painted steps on
// return, so a polyline's pattern runs on); style 5 paints nothing; any other style is solid.
// steps >= 0 paints only the first `steps` pixels.
void raster_thin_line(RasterTarget* target, Point64 a, Point64 b, uint32_t colour, int32_t style, int64_t* phase,
                      int64_t steps = -1);
// The pixel that line paints at step i (0 <= i < max(|dx|, |dy|)).
Point64 thin_line_pixel(Point64 a, Point64 b, int64_t i);
// A solid line `width` (>= 2) pixels wide with round ends: see raster_line.cpp for the pixel rule.
void raster_thick_line(RasterTarget* target, Point64 a, Point64 b, int64_t width, uint32_t colour);

// Blends `colour` into the target by a coverage map (w x h bytes, rows `pitch` apart, 0 leaves a
// pixel, 255 paints it), the map's top-left pixel at (x, y). Turned, the map is drawn a quarter
// turn to the left (h wide and w high, its top row becoming its left column read upwards), as the
// glyphs of a text that runs upwards.
void raster_coverage(RasterTarget* target, int64_t x, int64_t y, const uint8_t* coverage, int32_t w, int32_t h,
                     int32_t pitch, bool turned, uint32_t colour);

// Fills the polygon (closed implicitly) by the rule; 0 when memory ran out (nothing painted).
int raster_polygon(RasterTarget* target, const Point64* points, size_t count, FillRule rule, uint32_t colour);

// The pixels of the polygon within [left, right) x [top, bottom) as a region; 0 when memory ran out.
int region_from_polygon(RegionMask* out, const Point64* points, size_t count, FillRule rule, int32_t left, int32_t top,
                        int32_t right, int32_t bottom);
void region_release(RegionMask* region);
bool region_contains(const RegionMask& region, int64_t x, int64_t y);

}  // namespace lumra::graphics
