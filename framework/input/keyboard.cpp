// The key poll's globals and their start values.
#include "framework/input/keyboard.h"

#include "framework/base/heap.h"

namespace lumra::input {

KeyboardState g_keyboard{};

void keyboard_reset() {
  for (MacroSlot& slot : g_keyboard.slots) base::heap_free(slot.codes);
  g_keyboard = KeyboardState{};
}

}  // namespace lumra::input
