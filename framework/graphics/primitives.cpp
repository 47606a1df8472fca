// The primitives over the rasterizer: viewport offset in 64 bits, the pen and brushes of the
// drawing state, the current clip, then one present of the changed rectangle. Points are copied
// into a fixed buffer of 128 (the heap only for more).
#include "framework/graphics/primitives.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "framework/base/heap.h"
#include "framework/graphics/clip.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/primitives_internal.h"

namespace lumra::graphics {
namespace {

constexpr int32_t kLocalPoints = 128;

DrawState& ds() { return g_graphics.draw; }

Point64 device_point(int32_t x, int32_t y) {
  const Viewport& v = g_graphics.viewport;
  return Point64{static_cast<int64_t>(x) + v.left, static_cast<int64_t>(y) + v.top};
}

// Points with the viewport added: in `local` when they fit, else on the heap (null: no memory).
Point64* device_points(int32_t n, const Point* points, Point64* local) {
  Point64* out = local;
  if (n > kLocalPoints) out = static_cast<Point64*>(base::heap_alloc_zeroed(static_cast<size_t>(n), sizeof(Point64)));
  if (!out) return nullptr;
  for (int32_t i = 0; i < n; ++i) out[i] = device_point(points[i].x, points[i].y);
  return out;
}

void free_points(Point64* points, Point64* local) {
  if (points != local) base::heap_free(points);
}

int64_t steps_of(Point64 a, Point64 b) { return std::max(std::abs(b.x - a.x), std::abs(b.y - a.y)); }

// One segment with the pen. A dashed style on a pen wider than one pixel draws solid.
void stroke(RasterTarget* t, const Pen& p, Point64 a, Point64 b, int64_t* phase) {
  if (p.style == kStyleNull) return;
  if (p.width <= 1) {
    raster_thin_line(t, a, b, p.colour, p.style, phase);
  } else {
    raster_thick_line(t, a, b, p.width, p.colour);
  }
}

// A segment whose end b must be painted, drawn to its extended end. Rounding the extended end can
// tilt a thin line so that its pixel in b's column (or row) is a neighbour of b - about one line
// in 27 - which would defeat the extension's purpose: then b is painted in that pixel's place.
void stroke_to_end(RasterTarget* t, const Pen& p, Point64 a, Point64 b, int64_t* phase) {
  const Point64 e = extended_end(a, b);
  const int64_t n = steps_of(a, b);
  if (p.width > 1 || p.style == kStyleNull || n == 0 || n >= steps_of(a, e)) return stroke(t, p, a, e, phase);
  const Point64 at = thin_line_pixel(a, e, n);
  if (at.x == b.x && at.y == b.y) return stroke(t, p, a, e, phase);
  raster_thin_line(t, a, e, p.colour, p.style, phase, n);
  // b alone, at the pattern position its step has.
  const bool x_major = std::abs(e.x - a.x) >= std::abs(e.y - a.y);
  const Point64 beyond = x_major ? Point64{b.x + (e.x > a.x ? 1 : -1), b.y} : Point64{b.x, b.y + (e.y > a.y ? 1 : -1)};
  raster_thin_line(t, b, beyond, p.colour, p.style, phase);
}

}  // namespace

Pen drawing_pen() {
  const Pen& p = ds().pen;
  return p.made ? p : Pen{1, kStyleSolid, 1, 0};
}

bool thin_line_record() { return ds().line.width_x <= 1; }

void stroke_polyline(RasterTarget* target, const Pen& pen, bool thin_record, const Point64* points, size_t n) {
  if (n < 2) return;
  int64_t phase = 0;
  for (size_t i = 0; i + 2 < n; ++i) stroke(target, pen, points[i], points[i + 1], &phase);
  // The last point is moved one step on by the line's end-point rule, so that it is painted.
  if (thin_record) {
    stroke_to_end(target, pen, points[n - 2], points[n - 1], &phase);
  } else {
    stroke(target, pen, points[n - 2], points[n - 1], &phase);
  }
}

Point64 extended_end(Point64 a, Point64 b) {
  if (a.x == b.x) return Point64{b.x, a.y > b.y ? b.y - 1 : b.y + 1};
  if (a.y == b.y) return Point64{a.x > b.x ? b.x - 1 : b.x + 1, b.y};
  const double dx = static_cast<double>(b.x - a.x), dy = static_cast<double>(b.y - a.y);
  const double length = std::sqrt(dx * dx + dy * dy);
  double t = length + 0.5;
  // The first step already moves the major coordinate (its share of the length is at least 1/2);
  // the bound only guards against a rounding surprise.
  for (int i = 0; i < 16; ++i) {
    t += 0.5;
    const Point64 e{a.x + static_cast<int64_t>(std::floor(t * dx / length + 0.5)),
                    a.y + static_cast<int64_t>(std::floor(t * dy / length + 0.5))};
    if (e.x != b.x || e.y != b.y) return e;
  }
  return b;
}

void fill_rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const Brush& brush = ds().fill_brush;
  if (!brush.made) return;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  const Point64 a = device_point(x1, y1), b = device_point(x2, y2);
  RasterTarget t = drawing_target();
  raster_fill_rect(&t, a.x, a.y, b.x + 1, b.y + 1, brush.colour);
  present_touched(t.touched);
}

void fill_rectangle_colour(int32_t c, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  set_fill_colour(c);
  fill_rectangle(x1, y1, x2, y2);
}

void fill_rectangle_rgb(int32_t x, int32_t y, uint32_t colour, int32_t w, int32_t h) {
  const Point64 a = device_point(x, y);
  const int64_t x2 = a.x + w, y2 = a.y + h;
  RasterTarget t = drawing_target();
  raster_fill_rect(&t, std::min(a.x, x2), std::min(a.y, y2), std::max(a.x, x2), std::max(a.y, y2), colour & 0xFFFFFF);
  present_touched(t.touched);
}

void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Point64 a = device_point(x1, y1), b = device_point(x2, y2);
  RasterTarget t = drawing_target();
  const LineRecord& record = ds().line;
  if ((a.x == b.x || a.y == b.y) && record.style == kStyleSolid && record.width_x == 1) {
    // Thin solid axis-parallel lines are one-pixel-wide fills with the pen brush, both ends in.
    const Brush& brush = ds().pen_brush;
    if (!brush.made) return;
    if (a.x > b.x || a.y > b.y) std::swap(a, b);
    raster_fill_rect(&t, a.x, a.y, b.x + 1, b.y + 1, brush.colour);
  } else {
    int64_t phase = 0;
    if (thin_line_record()) {
      stroke_to_end(&t, drawing_pen(), a, b, &phase);
    } else {
      stroke(&t, drawing_pen(), a, b, &phase);
    }
  }
  present_touched(t.touched);
}

void rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const Point outline[5] = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
  polyline(5, outline);
}

void polyline(int32_t n, const Point* points) {
  if (n < 2 || !points) return;  // a polyline needs two points
  Point64 local[kLocalPoints];
  Point64* p = device_points(n, points, local);
  if (!p) return;
  RasterTarget t = drawing_target();
  stroke_polyline(&t, drawing_pen(), thin_line_record(), p, static_cast<size_t>(n));
  free_points(p, local);
  present_touched(t.touched);
}

void filled_polygon(int32_t n, const Point* points, int32_t outline, uint32_t fill) {
  fill &= 0xFFFFFF;
  make_pen(outline < 0 ? fill : pixel_colour(ds().colour_mode, outline));
  make_fill_brush(fill);
  if (n < 2 || !points) return;  // a polygon needs two points
  Point64 local[kLocalPoints];
  Point64* p = device_points(n, points, local);
  if (!p) return;
  RasterTarget t = drawing_target();
  raster_polygon(&t, p, static_cast<size_t>(n), FillRule::kAlternate, fill);
  // The outline is a closed figure: each side leaves out its last pixel, which the next paints.
  int64_t phase = 0;
  const Pen pen = drawing_pen();
  for (int32_t i = 0; i < n; ++i) stroke(&t, pen, p[i], p[(i + 1) % n], &phase);
  free_points(p, local);
  present_touched(t.touched);
}

void put_pixel(int32_t x, int32_t y, int32_t c) {
  const uint32_t colour = pixel_colour(ds().colour_mode, c);
  ds().last_pixel_colour = colour;
  put_pixel_rgb(x, y, colour);
}

void put_pixel_rgb(int32_t x, int32_t y, uint32_t colour) {
  const Point64 p = device_point(x, y);
  RasterTarget t = drawing_target();
  raster_pixel(&t, p.x, p.y, colour & 0xFFFFFF);
  present_touched(t.touched);
}

int get_pixel(int32_t x, int32_t y, uint32_t* colour) {
  const Point64 p = device_point(x, y);
  const RasterTarget t = drawing_target();
  uint32_t c = kInvalidColour;
  const int ok = raster_get_pixel(t, p.x, p.y, &c) ? 1 : 0;
  if (colour) *colour = ok ? c : kInvalidColour;
  return ok;
}

}  // namespace lumra::graphics
