// Image drawing up to the choice of path: sizes, source rectangle, transparency preparation and
// the visible part of the destination; then the fast or slow path, and one present of what changed.
// Also the work buffer both paths take their pixels from.
#include "framework/image/draw.h"

#include <algorithm>
#include <climits>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/graphics/clip.h"
#include "framework/graphics/draw_state.h"
#include "framework/graphics/pixel_filter.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/viewport.h"
#include "framework/image/colour_match.h"
#include "framework/image/draw_internal.h"
#include "platform/system/memory.h"

namespace lumra::image {
namespace draw_detail {
namespace {

// Page-allocated so that growing it hands the old pages straight back to the system.
struct WorkBuffer {
  uint8_t* data = nullptr;
  size_t size = 0;
  WorkBuffer() = default;
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;
  ~WorkBuffer() { release(); }
  void release() {
    sys::release_pages(data, size);
    data = nullptr;
    size = 0;
  }
};
WorkBuffer g_work;
DrawReport g_report;

}  // namespace

uint8_t* work_buffer(size_t size) {
  if (size <= g_work.size) return g_work.data;
  void* p = sys::allocate_pages(size);
  if (!p) return base::fail("out of memory for the drawing work buffer");
  g_work.release();
  g_work.data = static_cast<uint8_t*>(p);
  g_work.size = size;
  return g_work.data;
}

DrawReport& report() { return g_report; }

}  // namespace draw_detail

using draw_detail::Plan;

DrawReport last_draw_report() { return draw_detail::g_report; }
void release_draw_buffer() { draw_detail::g_work.release(); }
size_t draw_buffer_size() { return draw_detail::g_work.size; }

int image_draw(Image* img, int32_t x, int32_t y, int32_t colour_mode, int32_t draw_width, int32_t draw_height,
               int32_t source_x, int32_t source_y, int32_t source_width, int32_t source_height) {
  draw_detail::g_report = DrawReport{};
  if (!img || !img->pixels || img->width == 0 || img->height == 0) return base::fail("nothing to draw");
  if (draw_width < 0 || draw_height < 0) return base::fail("negative drawing size");
  if (colour_mode < kDrawMono || colour_mode > kDrawTrueColour) return base::fail("colour mode draws nothing");
  const graphics::RasterTarget target = graphics::drawing_target();
  if (!target.buffer) return base::fail("no window to draw into");
  graphics::set_colour(img->format == Mono1 ? 7 : 0);

  const int64_t width = img->width, height = img->height;
  int64_t sx = 0, sy = 0, sw = 0, sh = 0;
  if (source_width != 0 && source_height != 0) {
    sx = std::max(source_x, 0);
    sy = std::max(source_y, 0);
    sw = source_width;
    sh = source_height;
  }
  if (sx >= width || sy >= height) return base::fail("source rectangle outside the image");
  if (sw <= 0 || sx + sw > width) sw = width - sx;
  if (sh <= 0 || sy + sh > height) sh = height - sy;

  int64_t dw = draw_width, dh = draw_height;
  if (dw == 0 && dh == 0) {
    dw = sw;
    dh = sh;
  } else if (dh == 0) {
    dh = std::max<int64_t>(height * dw / width, 1);
  } else if (dw == 0) {
    dw = std::max<int64_t>(width * dh / height, 1);
  }
  dw = std::min<int64_t>(dw, INT32_MAX);
  dh = std::min<int64_t>(dh, INT32_MAX);

  Plan* p = static_cast<Plan*>(base::heap_alloc_zeroed(1, sizeof(Plan)));
  if (!p) return base::fail("out of memory for the drawing");
  p->img = img;
  p->colour_mode = colour_mode;
  p->transparency = transparency_mode(img);
  if (p->transparency == 1) {
    uint32_t under = graphics::kInvalidColour;
    // Outside the clip GetPixel's invalid value stands in, which reads as white.
    graphics::get_pixel(x, y, &under);
    img->keyColour = under;
  } else if (p->transparency == 2) {
    uint32_t corner = 0;
    image_get_pixel(img, 0, 0, &corner);
    if (img->format == Rgb32) {
      img->keyColour = corner;
    } else {
      img->transparentIndex = corner;
    }
  }
  p->filters = graphics::pixel_filters_active();
  p->masked = (p->transparency >= 1 && p->transparency <= 4) || p->filters;
  p->reference_brightness = brightness(img->keyColour);
  p->sx = sx, p->sy = sy, p->sw = sw, p->sh = sh;
  const graphics::Viewport vp = graphics::get_viewport();
  p->dx = static_cast<int64_t>(vp.left) + x;
  p->dy = static_cast<int64_t>(vp.top) + y;
  p->dw = dw, p->dh = dh;
  p->target = target;
  const graphics::RasterClip& c = p->target.clip;
  p->vx0 = static_cast<int32_t>(std::clamp<int64_t>(p->dx, c.left, c.right));
  p->vx1 = static_cast<int32_t>(std::clamp<int64_t>(p->dx + dw, p->vx0, c.right));
  p->vy0 = static_cast<int32_t>(std::clamp<int64_t>(p->dy, c.top, c.bottom));
  p->vy1 = static_cast<int32_t>(std::clamp<int64_t>(p->dy + dh, p->vy0, c.bottom));
  if (is_palette_format(img->format)) {
    p->entries = format_entries(img->format);
    for (int32_t i = 0; i < p->entries; ++i) {
      p->entry_colour[i] = entry_colour(img, static_cast<uint32_t>(i));
      p->entry_clear[i] = pixel_clear(*p, static_cast<uint32_t>(i), p->entry_colour[i]) ? 1 : 0;
    }
  }

  const bool shrinking = dw < sw || dh < sh;
  const bool fast = !(shrinking && img->fastStretch == 0) && !p->filters;
  DrawReport& r = draw_detail::g_report;
  r.path = fast ? DrawPath::kFast : DrawPath::kSlow;
  r.draw_width = static_cast<int32_t>(dw);
  r.draw_height = static_cast<int32_t>(dh);
  r.masked = p->masked ? 1 : 0;
  int ran = 1;
  if (p->vx0 < p->vx1 && p->vy0 < p->vy1) ran = fast ? draw_detail::draw_fast(p) : draw_detail::draw_slow(p);
  graphics::present_touched(p->target.touched);
  base::heap_free(p);
  return ran;
}

}  // namespace lumra::image
