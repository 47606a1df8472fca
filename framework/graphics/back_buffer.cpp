// Back buffer storage and the few pixel operations the window itself needs.
#include "framework/graphics/back_buffer.h"

#include <cstring>

#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"

namespace lumra::graphics {

int buffer_create(PaintBuffer* buffer, int32_t width, int32_t height) {
  *buffer = PaintBuffer{};
  if (width < 1 || height < 1 || width > kMaxBufferSide || height > kMaxBufferSide) {
    return base::failf("back buffer of %d x %d pixels is outside 1..%d", width, height, kMaxBufferSide);
  }
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  size_t bytes = 0;
  if (!base::checked_mul(stride, static_cast<size_t>(height), &bytes)) return base::fail("back buffer too large");
  auto* pixels = static_cast<uint8_t*>(base::heap_alloc_zeroed(bytes, 1));
  if (!pixels) return base::fail("out of memory for the back buffer");
  *buffer = PaintBuffer{pixels, width, height, static_cast<int32_t>(stride)};
  return 1;
}

void buffer_release(PaintBuffer* buffer) {
  base::heap_free(buffer->pixels);
  *buffer = PaintBuffer{};
}

bool buffer_clip(const PaintBuffer* buffer, platform::Rect* area) {
  if (!buffer->pixels || area->w <= 0 || area->h <= 0) return false;
  // 64-bit edges: a caller's x + w may not fit in 32 bits.
  const int64_t left = area->x < 0 ? 0 : area->x;
  const int64_t top = area->y < 0 ? 0 : area->y;
  int64_t right = static_cast<int64_t>(area->x) + area->w;
  int64_t bottom = static_cast<int64_t>(area->y) + area->h;
  if (right > buffer->width) right = buffer->width;
  if (bottom > buffer->height) bottom = buffer->height;
  if (left >= right || top >= bottom) return false;
  *area = platform::Rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                         static_cast<int32_t>(bottom - top)};
  return true;
}

void buffer_fill(PaintBuffer* buffer, platform::Rect area, uint8_t red, uint8_t green, uint8_t blue) {
  if (!buffer_clip(buffer, &area)) return;
  for (int32_t y = area.y; y < area.y + area.h; ++y) {
    uint8_t* p = buffer_pixel(buffer, area.x, y);
    if (red == green && green == blue) {
      std::memset(p, red, static_cast<size_t>(area.w) * 3);
      continue;
    }
    for (int32_t x = 0; x < area.w; ++x, p += 3) {
      p[0] = blue;
      p[1] = green;
      p[2] = red;
    }
  }
}

platform::PixelView buffer_view(const PaintBuffer* buffer, int32_t x, int32_t y) {
  if (!buffer->pixels) return platform::PixelView{nullptr, 0, 0, 0};
  return platform::PixelView{buffer_pixel(buffer, x, y), buffer->width - x, buffer->height - y, buffer->stride};
}

}  // namespace lumra::graphics
