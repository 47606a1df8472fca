// The hook through which every mouse and key poll passes its reading, for macro logs. Logs are
// not built yet: the hook stays in its off state and changes nothing.
#pragma once

#include <cstdint>

namespace lumra::input {

inline constexpr int32_t kMacroOff = 0;

struct MacroLog {
  int32_t state;  // kMacroOff
};

// Mouse polls pass x, y and buttons and no key; key polls only the key and their mode.
void macro_hook(int32_t* x, int32_t* y, int32_t* buttons, int32_t* key, int32_t mode);

}  // namespace lumra::input
