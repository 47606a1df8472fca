// The framework's clock and waits: a clock reading that first pumps the window's messages, a
// delay that sleeps on them, idle mode with its idle yield, and the link to the graphics window
// that the waits use. Single-threaded; window procedures run re-entrantly inside every call here.
#pragma once

#include <cstdint>

namespace lumra::input {

// What the input layer needs from the graphics window, handed over when the window opens (the
// input layer sits below graphics and does not link it).
struct WindowLink {
  void (*viewport)(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
};

inline constexpr int32_t kTicksPerSecond = 1000;
// Calls of the idle yield per real pass, and the length of its wait.
inline constexpr uint32_t kIdleYieldEvery = 128;
inline constexpr uint32_t kIdleWaitMs = 100;

// The window to wait on: null before the graphics window opens (the graphics window calls this).
void attach_window(const WindowLink* link);

// Dispatches every waiting message, then returns the tick (ms, 32-bit, wrapping).
uint32_t read_clock();

// Waits at least `milliseconds`. With the window open each wait lasts the full interval and any
// message ends it early, after which the loop waits again; the delay thus ends at the first
// message or timer after the time has passed. The two names behave the same.
void delay(uint32_t milliseconds);
void delay_ms(uint32_t milliseconds);

void idle_mode_on();
void idle_mode_off();
bool idle_mode();

// Called on every pass of a polling loop: one call in 128 dispatches the waiting messages and,
// in idle mode and at most once per 100 ms, sleeps until the next message or for 100 ms.
void idle_yield();

}  // namespace lumra::input
