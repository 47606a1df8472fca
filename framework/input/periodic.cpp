// The periodic callback table. Callbacks may register or remove callbacks while they run: the
// service loop re-reads each slot as it reaches it.
#include "framework/input/periodic.h"

#include "framework/base/error.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"

namespace lumra::input {

int register_periodic(int32_t period, PeriodicCallback callback, PeriodicCallback fallback, intptr_t argument) {
  if (!callback) return base::fail("no periodic callback given");
  PeriodicSlot* chosen = nullptr;
  for (PeriodicSlot& slot : g_input.periodic) {
    if (!slot.callback) {
      chosen = &slot;
      break;
    }
  }
  if (!chosen) return base::fail("all periodic callback slots are taken");
  for (PeriodicSlot& slot : g_input.periodic) {
    if (slot.callback == callback) slot.callback = nullptr;
  }
  *chosen = PeriodicSlot{period, 0, callback, fallback, argument};
  return 1;
}

int remove_periodic(PeriodicCallback callback) {
  if (!callback) return 0;
  for (PeriodicSlot& slot : g_input.periodic) {
    if (slot.callback == callback) {
      slot.callback = nullptr;
      return 1;
    }
  }
  return 0;
}

void service_tick() {
  idle_yield();
  for (PeriodicSlot& slot : g_input.periodic) {
    if (!slot.callback) continue;
    if (++slot.counter < slot.period) continue;
    slot.counter = 0;
    const PeriodicCallback fallback = slot.fallback;
    const intptr_t argument = slot.argument;
    if (slot.callback(argument) == 0 && fallback) fallback(argument);
  }
}

}  // namespace lumra::input
