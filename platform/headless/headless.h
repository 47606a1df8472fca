// The headless backend: no display, a virtual clock that moves only when the code waits or a test
// moves it, scripted {time, message} input, and a present() that keeps the frame for pixel checks.
// Everything here is for tests and tools; a program chooses it with use_backend(backend()).
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace lumra::platform::headless {

const Backend* backend();

// Virtual time at reset: far from 0 so that code subtracting durations never starts negative.
inline constexpr uint32_t kStartTicks = 1000000;

// Back to a fresh state: clock at kStartTicks, one 1280 x 1024 display that can be opened, no
// window frame, no script, nothing observed. The backend must not be in use (shut it down first).
void reset();

uint32_t now();
void set_now(uint32_t ticks);
// Moves the clock forward; messages scripted up to then arrive at the next pump or wait.
void advance(uint32_t ms);

// Display layout (up to 8; index 0 is the primary one) and whether opening a window can work.
void set_displays(const Rect* rects, int count);
void set_display_available(bool available);
// Frame thickness the window gets around its client area (0 by default).
void set_frame(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Script: the message arrives when the virtual clock reaches `time`; equal times keep their order.
int post_at(uint32_t time, const Message& message);
int post(const Message& message);  // at the current time
// Scripted messages not yet delivered.
int pending();

// The last presented frame: the client area, 24-bit blue, green, red, rows top-down.
struct Frame {
  const uint8_t* pixels;  // null while no window is open
  int32_t width;
  int32_t height;
  int32_t stride;
};
Frame frame();
// 0xRRGGBB of a frame pixel; 0xFF000000 outside the frame.
uint32_t frame_pixel(int32_t x, int32_t y);
// FNV-1a over the frame's pixel bytes row by row (no padding): for golden tables.
uint64_t frame_hash();
uint32_t present_count();
Rect last_present();

const WindowSpec& window_spec();  // title points at a copy held here
Cursor cursor();
uint32_t cursor_calls();
uint32_t warp_count();
void last_warp(int32_t* x, int32_t* y);
uint32_t message_box_count();
const char* last_message_box_caption();
const char* last_message_box_text();

// Messages as a window system would send them.
inline Message key_down(int32_t vk) { return {MessageKind::kKeyDown, vk, 0, 0, 0}; }
inline Message key_up(int32_t vk) { return {MessageKind::kKeyUp, vk, 0, 0, 0}; }
inline Message character(int32_t code_point) { return {MessageKind::kChar, code_point, 0, 0, 0}; }
inline Message system_character(int32_t code_point) { return {MessageKind::kSysChar, code_point, 0, 0, 0}; }
inline Message mouse_move(int32_t x, int32_t y) { return {MessageKind::kMouseMove, x, y, 0, 0}; }
inline Message frame_mouse_move(int32_t screen_x, int32_t screen_y) {
  return {MessageKind::kFrameMouseMove, screen_x, screen_y, 0, 0};
}
inline Message button_down(int32_t button) { return {MessageKind::kButtonDown, button, 0, 0, 0}; }
inline Message button_up(int32_t button) { return {MessageKind::kButtonUp, button, 0, 0, 0}; }
inline Message wheel(int32_t delta) { return {MessageKind::kWheel, delta, 0, 0, 0}; }
inline Message focus_gained(int32_t held) { return {MessageKind::kFocusGained, held, 0, 0, 0}; }
inline Message focus_lost() { return {MessageKind::kFocusLost, 0, 0, 0, 0}; }
inline Message close_request() { return {MessageKind::kClose, 0, 0, 0, 0}; }
inline Message paint(int32_t x, int32_t y, int32_t w, int32_t h) { return {MessageKind::kPaint, x, y, w, h}; }

}  // namespace lumra::platform::headless
