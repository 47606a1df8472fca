// The headless event source: a script of {time, message} entries handed to the core when the
// virtual clock reaches them. The messages are already in the core's terms, so translation is
// the identity; a full core queue leaves the rest for later, as a real backend would.
#include "framework/base/error.h"
#include "platform/headless/headless_internal.h"

namespace lumra::platform::headless {
namespace {

ScriptedMessage* entry(uint32_t index) {
  return static_cast<ScriptedMessage*>(base::array_at(&g_headless.script, index));
}

}  // namespace

void free_script() {
  if (g_headless.script.element_size) base::array_release(&g_headless.script);
  g_headless.delivered = 0;
}

int post_at(uint32_t time, const Message& message) {
  if (!g_headless.script.element_size) base::array_setup(&g_headless.script, sizeof(ScriptedMessage));
  if (!base::array_append(&g_headless.script)) return base::fail("headless script is full");
  // Insertion sort by time from the end: scripts are built mostly in order. Times compare by
  // signed difference so a script may run across the 32-bit wrap.
  uint32_t i = g_headless.script.count - 1;
  while (i > g_headless.delivered && static_cast<int32_t>(entry(i - 1)->time - time) > 0) {
    *entry(i) = *entry(i - 1);
    --i;
  }
  *entry(i) = ScriptedMessage{time, message};
  return 1;
}

int post(const Message& message) { return post_at(g_headless.now, message); }

int pending() { return static_cast<int>(g_headless.script.count - g_headless.delivered); }

bool next_scripted(uint32_t* time) {
  if (g_headless.delivered >= g_headless.script.count) return false;
  *time = entry(g_headless.delivered)->time;
  return true;
}

void deliver_due() {
  while (g_headless.delivered < g_headless.script.count && message_room() >= kSendReserve) {
    const ScriptedMessage* next = entry(g_headless.delivered);
    if (static_cast<int32_t>(next->time - g_headless.now) > 0) break;
    send(next->message);
    ++g_headless.delivered;
  }
  if (g_headless.delivered == g_headless.script.count && g_headless.delivered > 0) {
    base::array_clear(&g_headless.script);
    g_headless.delivered = 0;
  }
}

void collect() { deliver_due(); }

}  // namespace lumra::platform::headless
