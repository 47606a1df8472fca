// The back buffer: our own 24-bit pixel buffer (`wmpaintdc`) and its description (`wmpaintbmp`,
// laid out as a BITMAPINFOHEADER with a 256-entry colour table, as drawing code expects it).
// Pixels are bytes blue, green, red; rows top-down, each padded to a multiple of 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace lumra::graphics {

// Largest side of a buffer: a limit of ours, far above any screen, that keeps the size arithmetic
// and the allocation bounded.
inline constexpr int32_t kMaxBufferSide = 16384;

struct PaintBuffer {
  uint8_t* pixels;  // framework heap; null when there is no buffer
  int32_t width;
  int32_t height;
  int32_t stride;  // bytes per row
};

struct BitmapDescription {
  uint32_t size;  // 40
  int32_t width;
  int32_t height;  // positive: bottom-up, as the description of a device bitmap says
  uint16_t planes;
  uint16_t bit_count;
  uint32_t compression;
  uint32_t size_image;
  int32_t x_pels_per_meter;
  int32_t y_pels_per_meter;
  uint32_t colors_used;
  uint32_t colors_important;
  uint8_t colors[256][4];
  uint8_t spare[4];  // the block is 1068 bytes, four past the table
};
static_assert(sizeof(BitmapDescription) == 1068);

// A zero-filled (black) buffer; 0 when a side is outside 1..kMaxBufferSide or memory runs out.
int buffer_create(PaintBuffer* buffer, int32_t width, int32_t height);
void buffer_release(PaintBuffer* buffer);
// Fills the part of (x, y, w, h) inside the buffer.
void buffer_fill(PaintBuffer* buffer, platform::Rect area, uint8_t red, uint8_t green, uint8_t blue);
// Address of pixel (x, y), which must lie inside.
inline uint8_t* buffer_pixel(const PaintBuffer* buffer, int32_t x, int32_t y) {
  return buffer->pixels + static_cast<size_t>(y) * buffer->stride + static_cast<size_t>(x) * 3;
}
// The buffer from (x, y) on, for presenting.
platform::PixelView buffer_view(const PaintBuffer* buffer, int32_t x, int32_t y);
// Cuts the area to the buffer; false when nothing is left.
bool buffer_clip(const PaintBuffer* buffer, platform::Rect* area);

}  // namespace lumra::graphics
