// Mouse state and its polls: the state the window procedure keeps, the raw read with its press
// latch, the poll that reports each press once (and services the periodic callbacks), pointer
// placement and the cursor shape with its cache.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace lumra::input {

inline constexpr int32_t kMouseLeft = 1;
inline constexpr int32_t kMouseRight = 2;
inline constexpr int32_t kMouseMiddle = 4;
inline constexpr int32_t kWheelTowards = 8;  // wheel turned towards the user
inline constexpr int32_t kWheelAway = 16;
// The cursor cache's "unknown" value: the next set_cursor_shape call reaches the platform.
inline constexpr int32_t kCursorUnknown = 8;

struct MouseState {
  int32_t x;                 // client pixels
  int32_t y;
  int32_t buttons;           // current button and wheel bits
  int32_t latch;             // buttons after the latest press; cleared when read
  uint32_t last_press_time;  // tick of the latest press or wheel turn
};

// Written by the window procedure only.
void mouse_moved(int32_t x, int32_t y);
void mouse_button_down(int32_t button, uint32_t time);
void mouse_button_up(int32_t button);
void mouse_wheel(int32_t delta, uint32_t time);
// Clears the latch, the buttons and the last reported set; the window calls it when it opens.
void reset_pending();

// Position and buttons; the latch (if set) instead of the current buttons, and then cleared, so
// a press released before this read is still seen once.
void read_raw_mouse(int32_t* x, int32_t* y, int32_t* buttons);
// The poll of interactive loops: service tick, raw read, macro hook, then the press edge: a press
// is reported on the first poll that sees it and not again until every button is released. A
// reported press takes down a clickable area's help overlay.
void mouse_poll(int32_t* x, int32_t* y, int32_t* buttons);
// Moves the pointer to client (x, y); a negative coordinate means the viewport's centre on that axis.
void set_pointer_position(int32_t x, int32_t y);

// Sets the cursor shape unless the cache says it is set already.
void set_cursor_shape(platform::Cursor shape);
// The pointer came over the client area: whatever the system showed there, set it again next time.
void forget_cursor();

}  // namespace lumra::input
