// The clock, delays and idle yield over the platform's message queue. Waits are platform waits
// that end at the first message (or timer), so a delay never sleeps through input.
#include "framework/input/clock.h"

#include "framework/input/input.h"
#include "platform/platform.h"

namespace lumra::input {
namespace {

void dispatch_all() {
  while (platform::dispatch_one()) {
  }
}

}  // namespace

void attach_window(const WindowLink* link) { g_input.timer_window = link; }

uint32_t read_clock() {
  dispatch_all();
  return platform::ticks();
}

void delay(uint32_t milliseconds) {
  const uint32_t t0 = read_clock();
  for (uint32_t elapsed = 0; milliseconds > elapsed; elapsed = read_clock() - t0) {
    if (g_input.timer_window) {
      platform::wait_message(milliseconds);
    } else {
      // No window to wait on: sleep out the rest rather than spin on the clock. Nothing but the
      // clock can end this wait, so the result is the same without burning a processor.
      platform::wait_message(milliseconds - elapsed);
    }
  }
}

void delay_ms(uint32_t milliseconds) { delay(milliseconds); }

void idle_mode_on() { g_input.idle_mode = true; }

void idle_mode_off() { g_input.idle_mode = false; }

bool idle_mode() { return g_input.idle_mode; }

void idle_yield() {
  if (g_input.idle_calls++ % kIdleYieldEvery != 0) return;
  dispatch_all();
  if (!g_input.idle_mode) return;
  const uint32_t now = platform::ticks();
  if (now - g_input.last_idle_wait < kIdleWaitMs) return;
  g_input.last_idle_wait = now;
  platform::wait_message(kIdleWaitMs);
}

}  // namespace lumra::input
