// The clip as the drawing state keeps it, turned into a rasterizer clip for each drawing. A
// polygon clip is scan-converted once into a region of row spans when it is set.
#include "framework/graphics/clip.h"

#include <algorithm>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/graphics/graphics.h"

namespace lumra::graphics {
namespace {

DrawState& ds() { return g_graphics.draw; }

bool same_plain_rectangle(int32_t x, int32_t y, int32_t w, int32_t h) {
  const DrawState& s = ds();
  return s.screen_clip.on && s.clip_kind == ClipKind::kScreen && !s.clip_has_mask && s.screen_clip.x == x &&
         s.screen_clip.y == y && s.screen_clip.w == w && s.screen_clip.h == h;
}

int32_t clamp_side(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxBufferSide)); }

}  // namespace

int set_clip(int32_t on, int32_t x, int32_t y, int32_t w, int32_t h, int32_t n, const Point* points) {
  DrawState& s = ds();
  if (!on) {
    if (!s.screen_clip.on) return 1;
    region_release(&s.clip_mask);
    s.clip_has_mask = 0;
    s.clip_kind = ClipKind::kNone;
    s.screen_clip.on = 0;
    return 1;
  }
  const bool polygon = n > 0 && points;
  if (!polygon && same_plain_rectangle(x, y, w, h)) return 1;
  // 64-bit edges: x + w may not fit in 32 bits. Regions keep their corners in order.
  const int64_t x0 = x, x1 = static_cast<int64_t>(x) + w, y0 = y, y1 = static_cast<int64_t>(y) + h;
  const int32_t left = clamp_side(std::min(x0, x1)), right = clamp_side(std::max(x0, x1));
  const int32_t top = clamp_side(std::min(y0, y1)), bottom = clamp_side(std::max(y0, y1));
  RegionMask mask{};
  if (polygon) {
    Point64 local[128];
    Point64* pts = local;
    if (n > 128) pts = static_cast<Point64*>(base::heap_alloc_zeroed(static_cast<size_t>(n), sizeof(Point64)));
    if (!pts) return base::fail("out of memory for the clip polygon");
    for (int32_t i = 0; i < n; ++i) pts[i] = Point64{points[i].x, points[i].y};
    const int made = region_from_polygon(&mask, pts, static_cast<size_t>(n), FillRule::kWinding, left, top, right, bottom);
    if (pts != local) base::heap_free(pts);
    if (!made) return base::fail("out of memory for the clip region");
  }
  region_release(&s.clip_mask);
  s.clip_mask = mask;
  s.clip_has_mask = polygon ? 1 : 0;
  s.clip_kind = ClipKind::kScreen;
  s.clip_left = left, s.clip_top = top, s.clip_right = right, s.clip_bottom = bottom;
  s.screen_clip = ScreenClip{1, x, y, w, h};
  return 1;
}

RasterTarget drawing_target() {
  Gwin& g = g_graphics.gwin;
  PaintBuffer* b = &g.wmpaintdc;
  if (g.opened != 0 || !b->pixels) return raster_target(nullptr, 0, 0, 0, 0, nullptr);
  const DrawState& s = ds();
  switch (s.clip_kind) {
    case ClipKind::kWindow:
      return raster_target(b, g.full_clip.left, g.full_clip.top, g.full_clip.right, g.full_clip.bottom, nullptr);
    case ClipKind::kScreen:
      return raster_target(b, s.clip_left, s.clip_top, s.clip_right, s.clip_bottom,
                           s.clip_has_mask ? &s.clip_mask : nullptr);
    case ClipKind::kNone: break;
  }
  return raster_target(b, 0, 0, b->width, b->height, nullptr);
}

void present_touched(const Touched& t) {
  if (!draw_through() || t.right <= t.left || t.bottom <= t.top) return;
  refresh_rect(t.left, t.top, t.right - t.left, t.bottom - t.top);
}

}  // namespace lumra::graphics
