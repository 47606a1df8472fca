// Periodic callbacks: 32 slots serviced once per mouse poll (a "service tick"), each called every
// `period` ticks, with a fallback called when the callback returns 0. Periods count polls, not time.
#pragma once

#include <cstdint>

namespace lumra::input {

// The argument is pointer-sized so that a callback can be handed an object.
using PeriodicCallback = int32_t (*)(intptr_t argument);

inline constexpr int kPeriodicSlots = 32;

struct PeriodicSlot {
  int32_t period;              // service ticks between calls; 0 or 1: every tick
  int32_t counter;             // service ticks since the last call
  PeriodicCallback callback;   // null: the slot is free
  PeriodicCallback fallback;   // null: none
  intptr_t argument;
};

// 1, or 0 when all slots are taken. The first free slot is chosen, then any slot already holding
// the callback is cleared, so a re-registration moves the callback and never duplicates it.
int register_periodic(int32_t period, PeriodicCallback callback, PeriodicCallback fallback, intptr_t argument);
// 1 when a slot held the callback.
int remove_periodic(PeriodicCallback callback);
// Runs the idle yield, then every due callback in slot order.
void service_tick();

}  // namespace lumra::input
