// The headless window: displays from the test's layout, a window that opens only while a display
// is "available", and a frame buffer that keeps every presented pixel for comparison. Cursor,
// pointer and message boxes are recorded; a pointer warp arrives as a mouse move, as on a desktop.
#include <cstdio>
#include <cstring>

#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "platform/headless/headless_internal.h"

namespace lumra::platform::headless {

using base::fail;

void free_window() {
  base::heap_free(g_headless.frame);
  g_headless.frame = nullptr;
  g_headless.window_open = false;
}

void set_displays(const Rect* rects, int count) {
  if (count < 0) count = 0;
  if (count > kMaxDisplays) count = kMaxDisplays;
  for (int i = 0; i < count; ++i) g_headless.displays[i] = rects[i];
  g_headless.display_count = count;
}

void set_display_available(bool available) { g_headless.display_available = available; }

void set_frame(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  g_headless.frame_left = left;
  g_headless.frame_top = top;
  g_headless.frame_right = right;
  g_headless.frame_bottom = bottom;
}

int display_count() { return g_headless.display_available ? g_headless.display_count : 0; }

int display_bounds(int index, Rect* out) {
  if (index < 0 || index >= display_count()) return fail("no such display");
  *out = g_headless.displays[index];
  return 1;
}

int open_window(const WindowSpec& spec) {
  if (!g_headless.display_available) return fail("no display");
  if (spec.width <= 0 || spec.height <= 0) return fail("empty window");
  size_t bytes = 0;
  const size_t stride = static_cast<size_t>(spec.width) * 3;
  if (!base::checked_mul(stride, static_cast<size_t>(spec.height), &bytes)) return fail("window too large");
  g_headless.frame = static_cast<uint8_t*>(base::heap_alloc_zeroed(bytes, 1));
  if (!g_headless.frame) return fail("out of memory for the headless frame");
  g_headless.frame_stride = static_cast<int32_t>(stride);
  g_headless.spec = spec;
  std::snprintf(g_headless.title, sizeof g_headless.title, "%s", spec.title ? spec.title : "");
  g_headless.spec.title = g_headless.title;
  g_headless.window_open = true;
  return 1;
}

bool window_open() { return g_headless.window_open; }

int window_info(WindowInfo* out) {
  const WindowSpec& s = g_headless.spec;
  out->client = Rect{s.x, s.y, s.width, s.height};
  out->window = Rect{s.x - g_headless.frame_left, s.y - g_headless.frame_top,
                     s.width + g_headless.frame_left + g_headless.frame_right,
                     s.height + g_headless.frame_top + g_headless.frame_bottom};
  out->minimized = s.minimized;
  out->hidden = false;
  out->native_id = 0;
  return 1;
}

int present(const PixelView& source, Rect area) {
  const WindowSpec& s = g_headless.spec;
  int32_t sx = 0, sy = 0;
  if (area.x < 0) sx = -area.x, area.w += area.x, area.x = 0;
  if (area.y < 0) sy = -area.y, area.h += area.y, area.y = 0;
  if (area.w > source.width - sx) area.w = source.width - sx;
  if (area.h > source.height - sy) area.h = source.height - sy;
  if (area.w > s.width - area.x) area.w = s.width - area.x;
  if (area.h > s.height - area.y) area.h = s.height - area.y;
  ++g_headless.present_count;
  g_headless.last_present = area;
  if (area.w <= 0 || area.h <= 0) return 1;
  for (int32_t row = 0; row < area.h; ++row) {
    const uint8_t* from = source.pixels + static_cast<size_t>(sy + row) * source.stride + static_cast<size_t>(sx) * 3;
    uint8_t* to = g_headless.frame + static_cast<size_t>(area.y + row) * g_headless.frame_stride +
                  static_cast<size_t>(area.x) * 3;
    std::memcpy(to, from, static_cast<size_t>(area.w) * 3);
  }
  return 1;
}

int set_cursor(Cursor shape) {
  g_headless.cursor = shape;
  ++g_headless.cursor_calls;
  return 1;
}

int warp_pointer(int32_t x, int32_t y) {
  g_headless.warp_x = x;
  g_headless.warp_y = y;
  ++g_headless.warp_count;
  send(Message{MessageKind::kMouseMove, x, y, 0, 0});
  return 1;
}

int message_box(const char* caption, const char* text) {
  ++g_headless.message_box_count;
  std::snprintf(g_headless.caption, sizeof g_headless.caption, "%s", caption);
  std::snprintf(g_headless.text, sizeof g_headless.text, "%s", text);
  return 1;
}

Frame frame() {
  if (!g_headless.window_open) return Frame{nullptr, 0, 0, 0};
  return Frame{g_headless.frame, g_headless.spec.width, g_headless.spec.height, g_headless.frame_stride};
}

uint32_t frame_pixel(int32_t x, int32_t y) {
  const Frame f = frame();
  if (!f.pixels || x < 0 || y < 0 || x >= f.width || y >= f.height) return 0xFF000000u;
  const uint8_t* p = f.pixels + static_cast<size_t>(y) * f.stride + static_cast<size_t>(x) * 3;
  return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

uint64_t frame_hash() {
  const Frame f = frame();
  uint64_t h = 0xcbf29ce484222325ull;
  for (int32_t y = 0; y < f.height; ++y) {
    const uint8_t* row = f.pixels + static_cast<size_t>(y) * f.stride;
    for (int32_t i = 0; i < f.width * 3; ++i) h = (h ^ row[i]) * 0x100000001b3ull;
  }
  return h;
}

uint32_t present_count() { return g_headless.present_count; }
Rect last_present() { return g_headless.last_present; }
const WindowSpec& window_spec() { return g_headless.spec; }
Cursor cursor() { return g_headless.cursor; }
uint32_t cursor_calls() { return g_headless.cursor_calls; }
uint32_t warp_count() { return g_headless.warp_count; }
void last_warp(int32_t* x, int32_t* y) {
  *x = g_headless.warp_x;
  *y = g_headless.warp_y;
}
uint32_t message_box_count() { return g_headless.message_box_count; }
const char* last_message_box_caption() { return g_headless.caption; }
const char* last_message_box_text() { return g_headless.text; }

}  // namespace lumra::platform::headless
