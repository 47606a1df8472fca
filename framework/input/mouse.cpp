// Mouse state, polls, pointer placement and the cursor cache. The state changes only inside
// message dispatch, which happens in the clock, the yields and the service tick; a poll therefore
// sees the state as of its own service tick.
#include "framework/input/mouse.h"

#include "framework/input/clickable_areas.h"
#include "framework/input/input.h"
#include "framework/input/macro_log.h"
#include "framework/input/periodic.h"
#include "platform/platform.h"

namespace lumra::input {

void mouse_moved(int32_t x, int32_t y) {
  g_input.mouse.x = x;
  g_input.mouse.y = y;
}

void mouse_button_down(int32_t button, uint32_t time) {
  g_input.mouse.buttons |= button;
  g_input.mouse.latch = g_input.mouse.buttons;
  g_input.mouse.last_press_time = time;
}

void mouse_button_up(int32_t button) { g_input.mouse.buttons &= ~(button | kWheelTowards | kWheelAway); }

void mouse_wheel(int32_t delta, uint32_t time) {
  g_input.mouse.buttons |= delta >= 0 ? kWheelAway : kWheelTowards;
  g_input.mouse.last_press_time = time;
}

void reset_pending() {
  g_input.mouse.buttons = 0;
  g_input.mouse.latch = 0;
  g_input.last_reported = 0;
}

void read_raw_mouse(int32_t* x, int32_t* y, int32_t* buttons) {
  *x = g_input.mouse.x;
  *y = g_input.mouse.y;
  if (g_input.mouse.latch) {
    *buttons = g_input.mouse.latch;
    g_input.mouse.latch = 0;
  } else {
    *buttons = g_input.mouse.buttons;
  }
}

void mouse_poll(int32_t* x, int32_t* y, int32_t* buttons) {
  service_tick();
  read_raw_mouse(x, y, buttons);
  macro_hook(x, y, buttons, nullptr, 0);
  if (*buttons == 0) {
    g_input.last_reported = 0;
  } else if (g_input.last_reported != 0) {
    *buttons = 0;
  } else {
    g_input.last_reported = *buttons;
  }
  // A reported press takes down the help overlay of a clickable area, if one shows.
  if (*buttons) take_down_area_help();
}

void set_pointer_position(int32_t x, int32_t y) {
  if (x < 0 || y < 0) {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    if (g_input.timer_window && g_input.timer_window->viewport) {
      g_input.timer_window->viewport(&left, &top, &right, &bottom);
    }
    if (x < 0) x = (left + right) / 2;
    if (y < 0) y = (top + bottom) / 2;
  }
  platform::warp_pointer(x, y);
}

void set_cursor_shape(platform::Cursor shape) {
  const auto value = static_cast<int32_t>(shape);
  if (g_input.cursor_cache == value) return;
  if (platform::set_cursor(shape)) g_input.cursor_cache = value;
}

void forget_cursor() { g_input.cursor_cache = kCursorUnknown; }

}  // namespace lumra::input
