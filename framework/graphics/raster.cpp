// Spans, rectangles and single pixels inside a clip: the layer every other primitive paints
// through, so clipping is decided in this one place. Solid runs are written a row at a time.
#include "framework/graphics/raster.h"

#include <algorithm>
#include <cstring>

#include "framework/base/heap.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/raster_internal.h"

namespace lumra::graphics {


namespace raster_detail {

void fill_pixels(uint8_t* p, size_t n, uint32_t colour) {
  const uint8_t r = red_of(colour), g = green_of(colour), b = blue_of(colour);
  if (r == g && g == b) {
    std::memset(p, r, n * 3);
    return;
  }
  uint8_t pattern[48];
  for (int i = 0; i < 48; i += 3) pattern[i] = b, pattern[i + 1] = g, pattern[i + 2] = r;
  for (; n >= 16; n -= 16, p += 48) std::memcpy(p, pattern, 48);
  std::memcpy(p, pattern, n * 3);
}

}  // namespace raster_detail

namespace {

int32_t clamp_to(int64_t v, int32_t lo, int32_t hi) { return static_cast<int32_t>(std::clamp<int64_t>(v, lo, hi)); }

// Fills [x0, x1) of row y, already inside the clip rectangle, through the mask if there is one.
void paint_row(RasterTarget* t, int32_t y, int32_t x0, int32_t x1, uint32_t colour) {
  const RegionMask* m = t->clip.mask;
  if (!m) {
    raster_detail::fill_pixels(buffer_pixel(t->buffer, x0, y), static_cast<size_t>(x1 - x0), colour);
    touch(&t->touched, x0, y, x1, y + 1);
    return;
  }
  if (y < m->top || y >= m->bottom) return;
  const uint32_t end = m->row_start[y - m->top + 1];
  for (uint32_t i = m->row_start[y - m->top]; i < end; ++i) {
    const int32_t a = std::max(x0, m->spans[i].x0);
    const int32_t b = std::min(x1, m->spans[i].x1);
    if (a >= b) continue;
    raster_detail::fill_pixels(buffer_pixel(t->buffer, a, y), static_cast<size_t>(b - a), colour);
    touch(&t->touched, a, y, b, y + 1);
  }
}

}  // namespace

RasterTarget raster_target(PaintBuffer* buffer, int64_t left, int64_t top, int64_t right, int64_t bottom,
                           const RegionMask* mask) {
  RasterTarget t{buffer, RasterClip{0, 0, 0, 0, mask}, Touched{0, 0, 0, 0}};
  if (!buffer || !buffer->pixels) return t;
  t.clip.left = clamp_to(left, 0, buffer->width);
  t.clip.top = clamp_to(top, 0, buffer->height);
  t.clip.right = clamp_to(right, t.clip.left, buffer->width);
  t.clip.bottom = clamp_to(bottom, t.clip.top, buffer->height);
  return t;
}

bool region_contains(const RegionMask& m, int64_t x, int64_t y) {
  if (y < m.top || y >= m.bottom || !m.row_start) return false;
  const uint32_t end = m.row_start[y - m.top + 1];
  for (uint32_t i = m.row_start[y - m.top]; i < end; ++i) {
    if (x < m.spans[i].x0) return false;
    if (x < m.spans[i].x1) return true;
  }
  return false;
}

bool raster_inside(const RasterClip& c, int64_t x, int64_t y) {
  if (x < c.left || x >= c.right || y < c.top || y >= c.bottom) return false;
  return !c.mask || region_contains(*c.mask, x, y);
}

void raster_span(RasterTarget* t, int64_t y, int64_t x0, int64_t x1, uint32_t colour) {
  const RasterClip& c = t->clip;
  if (y < c.top || y >= c.bottom) return;
  const int64_t a = std::max<int64_t>(x0, c.left);
  const int64_t b = std::min<int64_t>(x1, c.right);
  if (a >= b) return;
  paint_row(t, static_cast<int32_t>(y), static_cast<int32_t>(a), static_cast<int32_t>(b), colour);
}

void raster_fill_rect(RasterTarget* t, int64_t left, int64_t top, int64_t right, int64_t bottom, uint32_t colour) {
  const RasterClip& c = t->clip;
  const int64_t x0 = std::max<int64_t>(left, c.left), x1 = std::min<int64_t>(right, c.right);
  const int64_t y0 = std::max<int64_t>(top, c.top), y1 = std::min<int64_t>(bottom, c.bottom);
  if (x0 >= x1 || y0 >= y1) return;
  const PaintBuffer* b = t->buffer;
  const auto w = static_cast<size_t>(x1 - x0);
  // A whole-width solid fill over padding-free rows is one run.
  if (!c.mask && x0 == 0 && x1 == b->width && static_cast<int64_t>(b->stride) == b->width * 3) {
    raster_detail::fill_pixels(buffer_pixel(b, 0, static_cast<int32_t>(y0)), w * static_cast<size_t>(y1 - y0), colour);
    touch(&t->touched, 0, static_cast<int32_t>(y0), b->width, static_cast<int32_t>(y1));
    return;
  }
  for (int64_t y = y0; y < y1; ++y) {
    paint_row(t, static_cast<int32_t>(y), static_cast<int32_t>(x0), static_cast<int32_t>(x1), colour);
  }
}

void raster_pixel(RasterTarget* t, int64_t x, int64_t y, uint32_t colour) {
  if (!raster_inside(t->clip, x, y)) return;
  uint8_t* p = buffer_pixel(t->buffer, static_cast<int32_t>(x), static_cast<int32_t>(y));
  p[0] = blue_of(colour);
  p[1] = green_of(colour);
  p[2] = red_of(colour);
  touch(&t->touched, static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x) + 1,
        static_cast<int32_t>(y) + 1);
}

bool raster_get_pixel(const RasterTarget& t, int64_t x, int64_t y, uint32_t* colour) {
  if (!raster_inside(t.clip, x, y)) return false;
  const uint8_t* p = buffer_pixel(t.buffer, static_cast<int32_t>(x), static_cast<int32_t>(y));
  *colour = rgb(p[2], p[1], p[0]);
  return true;
}

void region_release(RegionMask* region) {
  base::heap_free(region->row_start);
  base::heap_free(region->spans);
  *region = RegionMask{};
}

}  // namespace lumra::graphics
