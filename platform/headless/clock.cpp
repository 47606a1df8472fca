// The headless virtual clock: it moves only when the code waits (to the next scripted message or
// the end of the wait, whichever comes first) or when a test moves it, so timing runs instantly.
#include "platform/headless/headless_internal.h"

namespace lumra::platform::headless {

uint32_t ticks() { return g_headless.now; }

uint32_t now() { return g_headless.now; }

void set_now(uint32_t ticks) { g_headless.now = ticks; }

void advance(uint32_t ms) { g_headless.now += ms; }

bool wait(uint32_t timeout_ms) {
  uint32_t next = 0;
  if (!next_scripted(&next)) {
    if (timeout_ms == kWaitForever) return false;
    g_headless.now += timeout_ms;
    return true;
  }
  const int32_t until = static_cast<int32_t>(next - g_headless.now);
  if (until <= 0) {
    deliver_due();
    return true;
  }
  if (timeout_ms == kWaitForever || static_cast<uint32_t>(until) <= timeout_ms) {
    g_headless.now = next;
    deliver_due();
  } else {
    g_headless.now += timeout_ms;
  }
  return true;
}

}  // namespace lumra::platform::headless
