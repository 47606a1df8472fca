// The key hook table and its two passes.
#include "framework/input/key_hooks.h"

#include "framework/base/error.h"
#include "framework/input/keyboard.h"

namespace lumra::input {
namespace {

KeyHook* hook(int32_t id) {
  if (id < 1 || id > kKeyHookSlots) return nullptr;
  KeyHook& h = g_keyboard.hooks[id - 1];
  return h.function ? &h : nullptr;
}

// Calls one hook if it is enabled and its key matches; the code it leaves.
int32_t call(KeyHook& h, int32_t code) {
  if (!h.function || !h.enabled || h.running || (h.key != kAnyKey && h.key != code)) return code;
  h.running = true;
  const int32_t result = h.function(code, h.argument);
  h.running = false;
  return result;
}

}  // namespace

int32_t add_key_hook(int32_t key, KeyHookFunction function, int32_t level, intptr_t argument) {
  if (!function) return base::fail("no key hook function given");
  for (int32_t i = 0; i < kKeyHookSlots; ++i) {
    KeyHook& h = g_keyboard.hooks[i];
    if (h.function) continue;
    h = KeyHook{key, function, level, true, false, argument};
    return i + 1;
  }
  return base::fail("all key hook slots are taken");
}

int remove_key_hook(int32_t id) {
  KeyHook* h = hook(id);
  if (!h) return 0;
  *h = KeyHook{};
  return 1;
}

int enable_key_hook(int32_t id, bool enabled) {
  KeyHook* h = hook(id);
  if (!h) return 0;
  h->enabled = enabled;
  return 1;
}

int32_t run_key_hooks(int32_t code, int32_t layer_level) {
  for (KeyHook& h : g_keyboard.hooks) {
    if (code == 0) return 0;
    if (h.level >= 0 && h.level >= layer_level) code = call(h, code);
  }
  for (KeyHook& h : g_keyboard.hooks) {
    if (code == 0) return 0;
    if (h.level < 0) code = call(h, code);
  }
  return code;
}

}  // namespace lumra::input
