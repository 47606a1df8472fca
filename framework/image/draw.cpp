// Image drawing up to the choice of path: sizes, source rectangle, transparency preparation and
// the visible part of the destination; then the fast or slow path, and one present of what changed.
// Also the work buffer both paths take their pixels from.
#include "framework/image/draw.h"

#include <algorithm>
#include <climits>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
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

namespace {

// The source rectangle: the one asked for when both its sides are non-zero, else the whole
// image, cut to the image's edges. False when it starts outside the image.
bool source_rect(const Image* img, int32_t x, int32_t y, int32_t w, int32_t h, Plan* p) {
  const int64_t width = img->width, height = img->height;
  p->sx = p->sy = p->sw = p->sh = 0;
  if (w != 0 && h != 0) {
    p->sx = std::max(x, 0);
    p->sy = std::max(y, 0);
    p->sw = w;
    p->sh = h;
  }
  if (p->sx >= width || p->sy >= height) return false;
  if (p->sw <= 0 || p->sx + p->sw > width) p->sw = width - p->sx;
  if (p->sh <= 0 || p->sy + p->sh > height) p->sh = height - p->sy;
  return true;
}

// The drawn size: as asked, one side 0 following the image's aspect ratio, or both 0 the
// source size.
void drawn_size(const Image* img, int32_t w, int32_t h, Plan* p) {
  const int64_t width = img->width, height = img->height;
  int64_t dw = w, dh = h;
  if (dw == 0 && dh == 0) {
    dw = p->sw;
    dh = p->sh;
  } else if (dh == 0) {
    dh = std::max<int64_t>(height * dw / width, 1);
  } else if (dw == 0) {
    dw = std::max<int64_t>(width * dh / height, 1);
  }
  p->dw = std::min<int64_t>(dw, INT32_MAX);
  p->dh = std::min<int64_t>(dh, INT32_MAX);
}

// Transparency mode 1 keys on the screen's colour under the image's corner, mode 2 on the
// image's top-left pixel; the key is kept in the image, as later drawings expect.
void take_transparent_key(Image* img, int32_t mode, int32_t x, int32_t y) {
  if (mode == 1) {
    uint32_t under = graphics::kInvalidColour;
    // Outside the clip GetPixel's invalid value stands in, which reads as white.
    graphics::get_pixel(x, y, &under);
    img->keyColour = under;
  } else if (mode == 2) {
    uint32_t corner = 0;
    image_get_pixel(img, 0, 0, &corner);
    if (img->format == Rgb32) {
      img->keyColour = corner;
    } else {
      img->transparentIndex = corner;
    }
  }
}

// Where the drawing lands: the destination rectangle in device pixels and its visible part.
void place(int32_t x, int32_t y, Plan* p) {
  const graphics::Viewport vp = graphics::get_viewport();
  p->dx = static_cast<int64_t>(vp.left) + x;
  p->dy = static_cast<int64_t>(vp.top) + y;
  const graphics::RasterClip& c = p->target.clip;
  p->vx0 = static_cast<int32_t>(std::clamp<int64_t>(p->dx, c.left, c.right));
  p->vx1 = static_cast<int32_t>(std::clamp<int64_t>(p->dx + p->dw, p->vx0, c.right));
  p->vy0 = static_cast<int32_t>(std::clamp<int64_t>(p->dy, c.top, c.bottom));
  p->vy1 = static_cast<int32_t>(std::clamp<int64_t>(p->dy + p->dh, p->vy0, c.bottom));
}

// Palette formats: each value's colour and whether it is transparent, worked out once.
void prepare_entries(Plan* p) {
  const Image* img = p->img;
  if (!is_palette_format(img->format)) return;
  p->entries = format_entries(img->format);
  for (int32_t i = 0; i < p->entries; ++i) {
    p->entry_colour[i] = entry_colour(img, static_cast<uint32_t>(i));
    p->entry_clear[i] = pixel_clear(*p, static_cast<uint32_t>(i), p->entry_colour[i]) ? 1 : 0;
  }
}

}  // namespace

int image_draw(Image* img, int32_t x, int32_t y, int32_t colour_mode, int32_t draw_width, int32_t draw_height,
               int32_t source_x, int32_t source_y, int32_t source_width, int32_t source_height) {
  draw_detail::g_report = DrawReport{};
  if (!img || !img->pixels || img->width == 0 || img->height == 0) return base::fail("nothing to draw");
  if (draw_width < 0 || draw_height < 0) return base::fail("negative drawing size");
  if (colour_mode < kDrawMono || colour_mode > kDrawTrueColour) return base::fail("colour mode draws nothing");
  const graphics::RasterTarget target = graphics::drawing_target();
  if (!target.buffer) return base::fail("no window to draw into");
  graphics::set_colour(img->format == Mono1 ? 7 : 0);

  // The plan is large (two 256-entry tables): heap, not stack.
  const base::HeapBlock plan(base::heap_alloc_zeroed(1, sizeof(Plan)));
  auto* p = static_cast<Plan*>(plan.get());
  if (!p) return base::fail("out of memory for the drawing");
  p->img = img;
  if (!source_rect(img, source_x, source_y, source_width, source_height, p)) {
    return base::fail("source rectangle outside the image");
  }
  drawn_size(img, draw_width, draw_height, p);
  p->colour_mode = colour_mode;
  p->transparency = transparency_mode(img);
  take_transparent_key(img, p->transparency, x, y);
  p->filters = graphics::pixel_filters_active();
  const bool transparent = p->transparency >= 1 && p->transparency <= 4;
  p->masked = transparent || p->filters;
  // Filters alone only take pixels away: a Mono1 image they run over keeps its own colours.
  p->stencil = transparent && img->format == Mono1;
  p->reference_brightness = brightness(img->keyColour);
  p->target = target;
  place(x, y, p);
  prepare_entries(p);

  const bool shrinking = p->dw < p->sw || p->dh < p->sh;
  const bool fast = !(shrinking && img->fastStretch == 0) && !p->filters;
  DrawReport& r = draw_detail::g_report;
  r.path = fast ? DrawPath::kFast : DrawPath::kSlow;
  r.draw_width = static_cast<int32_t>(p->dw);
  r.draw_height = static_cast<int32_t>(p->dh);
  r.masked = p->masked ? 1 : 0;
  int ran = 1;
  if (p->vx0 < p->vx1 && p->vy0 < p->vy1) ran = fast ? draw_detail::draw_fast(p) : draw_detail::draw_slow(p);
  graphics::present_touched(p->target.touched);
  return ran;
}

}  // namespace lumra::image
