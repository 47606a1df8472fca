// Shared by the image drawing files only (draw.cpp, draw_fast.cpp, draw_slow.cpp, capture.cpp):
// the plan one drawing works from, the transparency test, the visible spans of a row, and the
// process-wide work buffer. Not for use outside framework/image/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/graphics/raster.h"
#include "framework/image/colour_match.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"

namespace lumra::image::draw_detail {

using graphics::touch;

struct Plan {
  Image* img;
  int32_t colour_mode;
  int32_t transparency;  // the image's mode, -8..7
  bool masked;           // a mask is built: transparency modes 1-4, or filters installed
  bool stencil;          // Mono1 in transparency modes 1-4: only the mask is drawn, its opaque pixels black
  bool filters;
  int64_t sx, sy, sw, sh;      // source rectangle, inside the image
  int64_t dx, dy, dw, dh;      // destination rectangle, device pixels
  int32_t vx0, vy0, vx1, vy1;  // its visible part (inside the clip rectangle), right/bottom exclusive
  graphics::RasterTarget target;
  int32_t reference_brightness;  // modes 1 and 3
  int32_t entries;               // palette formats: 2, 16 or 256
  uint32_t entry_colour[256];
  uint8_t entry_clear[256];      // 1: pixels of this value are transparent
};

// Whether a pixel with this raw value and drawn colour is transparent under the plan's mode.
inline bool pixel_clear(const Plan& p, uint32_t raw, uint32_t colour) {
  switch (p.transparency) {
    case 1:
    case 3: return brightness(colour) > p.reference_brightness;
    case 2:
    case 4:
      if (p.img->format == Rgb32) return (raw & 0xFFFFFF) == (p.img->keyColour & 0xFFFFFF);
      return raw == p.img->transparentIndex;
    default: return false;
  }
}

// Calls fn(a, b) for each run [a, b) of row y within [x0, x1) that the target's clip lets through.
template <class Fn>
void for_each_span(const graphics::RasterTarget& t, int32_t y, int32_t x0, int32_t x1, Fn fn) {
  const graphics::RegionMask* m = t.clip.mask;
  if (!m) {
    if (x0 < x1) fn(x0, x1);
    return;
  }
  if (y < m->top || y >= m->bottom) return;
  const uint32_t end = m->row_start[y - m->top + 1];
  for (uint32_t i = m->row_start[y - m->top]; i < end; ++i) {
    const int32_t a = m->spans[i].x0 > x0 ? m->spans[i].x0 : x0;
    const int32_t b = m->spans[i].x1 < x1 ? m->spans[i].x1 : x1;
    if (a < b) fn(a, b);
  }
}

// The one work buffer: page-allocated, grown when a larger size is asked, never shrunk until the
// program ends. Null when it cannot grow (the old buffer is then kept).
uint8_t* work_buffer(size_t size);

DrawReport& report();

// Both return 1 when they ran, 0 when memory ran out (nothing drawn).
int draw_fast(Plan* p);
int draw_slow(Plan* p);

inline int64_t ceil_div(int64_t a, int64_t b) { return (a + b - 1) / b; }

}  // namespace lumra::image::draw_detail
