// Key hooks: up to 63 filters the key poll runs on each code it is about to return. A hook sees
// the code (as the hooks before it left it) and returns the code the following hooks and the
// caller see; 0 swallows the key.
#pragma once

#include <cstdint>

namespace lumra::input {

inline constexpr int32_t kKeyHookSlots = 63;
inline constexpr int32_t kAnyKey = -1;

using KeyHookFunction = int32_t (*)(int32_t code, intptr_t argument);

struct KeyHook {
  int32_t key;  // the code it filters, or kAnyKey
  KeyHookFunction function;  // null: the slot is free
  int32_t level;  // screen-layer level it belongs to; negative: none
  bool enabled;
  bool running;  // inside its own call: skipped, as if disabled
  intptr_t argument;
};

// Registers an enabled hook in the first free slot: its id (1..63), or 0 when every slot is taken
// or no function is given. Hooks with a level run only while the current screen layer's level is
// at most theirs, before the hooks without a level.
int32_t add_key_hook(int32_t key, KeyHookFunction function, int32_t level, intptr_t argument);
// 1 when the id named a hook.
int remove_key_hook(int32_t id);
int enable_key_hook(int32_t id, bool enabled);

// Runs the hooks on a code for the current screen layer: first the enabled hooks whose level is
// at least the layer's, in slot order, then the enabled hooks without a level. A hook is disabled
// while it runs, so a poll inside it does not reach it again. Returns the code as the last hook
// left it; once a hook returns 0 no further hook is called.
int32_t run_key_hooks(int32_t code, int32_t layer_level);

}  // namespace lumra::input
