// The macro notifier's one slot.
#include "framework/input/macro_notifier.h"

#include "framework/input/input.h"

namespace lumra::input {

MacroNotifier set_macro_notifier(MacroNotifier notifier) {
  const MacroNotifier previous = g_input.notifier;
  g_input.notifier = notifier;
  return previous;
}

void notify_macro(int32_t event, int32_t a, int32_t b) {
  if (g_input.notifier) g_input.notifier(event, a, b);
}

}  // namespace lumra::input
