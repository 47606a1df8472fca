// The input subsystem's globals in one place, with the reset tests use. Everything here is
// single-threaded and lives for the run.
#pragma once

#include <cstdint>

#include "framework/input/clickable_areas.h"
#include "framework/input/clock.h"
#include "framework/input/macro_log.h"
#include "framework/input/macro_notifier.h"
#include "framework/input/mouse.h"
#include "framework/input/periodic.h"

namespace lumra::input {

struct InputState {
  int32_t ticks_per_second;        // kTicksPerSecond; nothing changes it
  const WindowLink* timer_window;  // null until the graphics window opens
  bool idle_mode;
  uint32_t idle_calls;
  uint32_t last_idle_wait;  // tick of the latest idle wait
  PeriodicSlot periodic[kPeriodicSlots];
  MouseState mouse;
  int32_t last_reported;  // the poll's last reported button set
  int32_t cursor_cache;   // the shape set last, or kCursorUnknown
  MacroLog macro;
  MacroNotifier notifier;         // null: none
  const ClickableAreas* areas;    // null until a control layer sets it up
};
extern InputState g_input;

// Start values again; registered callbacks, idle mode, the window link, the notifier and the
// clickable-area registry are forgotten, and a log file still open is closed.
void input_reset();

}  // namespace lumra::input
