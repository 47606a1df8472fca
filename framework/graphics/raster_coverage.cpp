// Coverage blending, the one way anti-aliased glyphs reach a buffer: a linear mix of the colour
// and what is there, by the map's 0..255 weight, inside the clip.
#include <algorithm>

#include "framework/graphics/colour.h"
#include "framework/graphics/raster.h"

namespace lumra::graphics {
namespace {

inline uint8_t mix(uint8_t under, uint8_t over, uint32_t weight) {
  return static_cast<uint8_t>((under * (255 - weight) + over * weight + 127) / 255);
}

}  // namespace

void raster_coverage(RasterTarget* t, int64_t x, int64_t y, const uint8_t* coverage, int32_t w, int32_t h,
                     int32_t pitch, bool turned, uint32_t colour) {
  if (!coverage || w <= 0 || h <= 0) return;
  const RasterClip& c = t->clip;
  const int64_t box_w = turned ? h : w, box_h = turned ? w : h;
  const int64_t x0 = std::max<int64_t>(x, c.left), x1 = std::min<int64_t>(x + box_w, c.right);
  const int64_t y0 = std::max<int64_t>(y, c.top), y1 = std::min<int64_t>(y + box_h, c.bottom);
  if (x0 >= x1 || y0 >= y1) return;
  const uint8_t r = red_of(colour), g = green_of(colour), b = blue_of(colour);
  for (int64_t py = y0; py < y1; ++py) {
    uint8_t* p = buffer_pixel(t->buffer, static_cast<int32_t>(x0), static_cast<int32_t>(py));
    for (int64_t px = x0; px < x1; ++px, p += 3) {
      // Upright: column px - x of row py - y. Turned: the box's column is the map's row, and its
      // rows count the map's columns from the right.
      const int64_t col = turned ? (w - 1 - (py - y)) : (px - x);
      const int64_t row = turned ? (px - x) : (py - y);
      const uint32_t weight = coverage[row * pitch + col];
      if (!weight || (c.mask && !region_contains(*c.mask, px, py))) continue;
      if (weight == 255) {
        p[0] = b, p[1] = g, p[2] = r;
      } else {
        p[0] = mix(p[0], b, weight), p[1] = mix(p[1], g, weight), p[2] = mix(p[2], r, weight);
      }
    }
  }
  touch(&t->touched, static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1), static_cast<int32_t>(y1));
}

}  // namespace lumra::graphics
