// Capture: each bitmap pixel's colour, then the format's own reduction (ordered dither for Mono1,
// brightness for gray, the nearest of 16 or 256 window colours). The progress line is drawn with
// the line primitive in colour 15; rows are restored by writing the bitmap's row into the back buffer.
#include "framework/image/capture.h"

#include <algorithm>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/graphics/clip.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/draw_state.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/viewport.h"
#include "framework/graphics/window.h"
#include "framework/image/colour_match.h"
#include "framework/image/draw.h"
#include "framework/image/draw_internal.h"
#include "framework/image/resample.h"

namespace lumra::image {
namespace {

using base::fail;

bool supported_depth(int32_t bits) { return bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }

uint32_t bitmap_colour(const CaptureBitmap* b, int32_t x, int32_t y) {
  const uint8_t* row = b->pixels + static_cast<size_t>(y) * static_cast<size_t>(b->stride);
  switch (b->bits_per_pixel) {
    case 4: {
      const int32_t index = x & 1 ? row[x >> 1] & 15 : row[x >> 1] >> 4;
      return graphics::pixel_colour(graphics::kPaletteMode, index);
    }
    case 8: return graphics::pixel_colour(graphics::kPaletteMode, row[x]);
    case 16: {
      const uint32_t v = base::load_u16le(row + static_cast<size_t>(x) * 2);
      return colour_value((v >> 11 & 31) * 255 / 31, (v >> 5 & 63) * 255 / 63, (v & 31) * 255 / 31);
    }
    default: {
      const uint8_t* q = row + static_cast<size_t>(x) * (b->bits_per_pixel / 8);
      return colour_value(q[2], q[1], q[0]);
    }
  }
}

// Writes bitmap row y over its place on screen.
void restore_row(const CaptureBitmap* b, int32_t y, const ProgressRect& pr) {
  graphics::RasterTarget t = graphics::drawing_target();
  if (!t.buffer) return;
  const graphics::Viewport vp = graphics::get_viewport();
  const int64_t left = static_cast<int64_t>(vp.left) + pr.left;
  const int64_t row = static_cast<int64_t>(vp.top) + pr.top + y;
  if (row < t.clip.top || row >= t.clip.bottom) return;
  const int64_t width = std::min(pr.width, b->width);
  const auto x0 = static_cast<int32_t>(std::clamp<int64_t>(left, t.clip.left, t.clip.right));
  const auto x1 = static_cast<int32_t>(std::clamp<int64_t>(left + width, x0, t.clip.right));
  const auto yy = static_cast<int32_t>(row);
  draw_detail::for_each_span(t, yy, x0, x1, [&](int32_t a, int32_t e) {
    uint8_t* d = graphics::buffer_pixel(t.buffer, a, yy);
    for (int32_t x = a; x < e; ++x, d += 3) {
      const uint32_t c = bitmap_colour(b, static_cast<int32_t>(x - left), y);
      d[0] = static_cast<uint8_t>(c >> 16), d[1] = static_cast<uint8_t>(c >> 8), d[2] = static_cast<uint8_t>(c);
    }
    draw_detail::touch(&t.touched, a, yy, e, yy + 1);
  });
  graphics::present_touched(t.touched);
}

void store(Image* img, int32_t x, int32_t y, uint32_t c) {
  switch (img->format) {
    case Mono1:
      if (brightness8(c) * 64 / 255 <= kBayer[bayer_index(x, y)]) image_set_pixel(img, x, y, 0);
      break;
    case Gray4: image_set_pixel(img, x, y, static_cast<uint32_t>(brightness8(c) * 15 / 255)); break;
    case Gray8: image_set_pixel(img, x, y, static_cast<uint32_t>(brightness8(c))); break;
    case Indexed4: image_set_pixel(img, x, y, static_cast<uint32_t>(nearest_colour(c, 16))); break;
    case Indexed8: image_set_pixel(img, x, y, static_cast<uint32_t>(nearest_colour(c, 256))); break;
    default: image_set_pixel(img, x, y, c); break;
  }
}

}  // namespace

int image_capture(Image* img, const CaptureBitmap* bitmap, int32_t width, int32_t height, int32_t format,
                  const ProgressRect* progress) {
  if (!bitmap || !bitmap->pixels || bitmap->width <= 0 || bitmap->height <= 0) return fail("no bitmap to capture");
  if (!supported_depth(bitmap->bits_per_pixel)) return fail("bitmap depth not supported");
  if (static_cast<int64_t>(bitmap->stride) * 8 < static_cast<int64_t>(bitmap->width) * bitmap->bits_per_pixel) {
    return fail("bitmap rows shorter than its width");
  }
  if (format < 0 || format >= kFormatCount) return fail("unknown pixel format");
  if (width < 0 || height < 0) return fail("negative capture size");
  if (width == 0) width = bitmap->width;
  if (height == 0) height = bitmap->height;
  if (width != bitmap->width || height != bitmap->height) {
    Image full{};
    const HeldImage held(&full);
    if (!image_capture(&full, bitmap, 0, 0, Rgb32, progress)) return 0;
    return image_resample(img, &full, kDrawNearest, format, 0, 0, width, height, 0, 0, 0, 0, 0);
  }
  image_free(img);
  if (!image_allocate(img, format, width, height, 0, nullptr, 0, 0)) return 0;
  if (format == Mono1) image_fill(img, 1);
  if (progress) graphics::set_colour(15);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) store(img, x, y, bitmap_colour(bitmap, x, y));
    if (!progress || y >= progress->height) continue;
    graphics::line(progress->left, progress->top + y, progress->left + progress->width - 1, progress->top + y);
    if (y > 0) restore_row(bitmap, y - 1, *progress);
  }
  if (progress && height <= progress->height) restore_row(bitmap, height - 1, *progress);
  return 1;
}

int image_capture_record(Image* img, const CaptureRecord* record, int32_t width, int32_t height, int32_t format,
                         int32_t show_progress) {
  if (!record) return fail("no capture record");
  const ProgressRect rect{record->left, record->top, record->width, record->height};
  return image_capture(img, record->bitmap, width, height, format, show_progress ? &rect : nullptr);
}

int image_capture_bitmap(Image* img, const CaptureBitmap* bitmap, int32_t format) {
  return image_capture(img, bitmap, 0, 0, format, nullptr);
}

int image_capture_screen(Image* img, int32_t x, int32_t y, int32_t w, int32_t h, int32_t format, int32_t show_progress) {
  const graphics::PaintBuffer& buffer = graphics::back_buffer();
  if (!buffer.pixels) return fail("no back buffer to capture");
  if (w < 0 || h < 0) return fail("negative capture size");
  const graphics::Viewport vp = graphics::get_viewport();
  const int64_t left = static_cast<int64_t>(vp.left) + x, top = static_cast<int64_t>(vp.top) + y;
  const int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
  const int64_t x1 = std::min<int64_t>(w ? left + w : buffer.width, buffer.width);
  const int64_t y1 = std::min<int64_t>(h ? top + h : buffer.height, buffer.height);
  if (x0 >= x1 || y0 >= y1) return fail("capture rectangle outside the back buffer");
  const auto cw = static_cast<int32_t>(x1 - x0), ch = static_cast<int32_t>(y1 - y0);
  const int32_t stride = (cw * 3 + 3) & ~3;
  // A snapshot, so that the progress line drawn over the screen never reaches the captured pixels.
  const base::HeapBlock snapshot_block(base::heap_alloc(static_cast<size_t>(stride) * ch));
  auto* snapshot = static_cast<uint8_t*>(snapshot_block.get());
  if (!snapshot) return fail("out of memory for the capture");
  for (int32_t r = 0; r < ch; ++r) {
    std::memcpy(snapshot + static_cast<size_t>(r) * stride,
                graphics::buffer_pixel(&buffer, static_cast<int32_t>(x0), static_cast<int32_t>(y0) + r),
                static_cast<size_t>(cw) * 3);
  }
  const CaptureBitmap bitmap{snapshot, cw, ch, stride, 24};
  const ProgressRect rect{static_cast<int32_t>(x0 - vp.left), static_cast<int32_t>(y0 - vp.top), cw, ch};
  return image_capture(img, &bitmap, 0, 0, format, show_progress ? &rect : nullptr);
}

}  // namespace lumra::image
