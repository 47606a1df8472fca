// The macro hook in its off state: readings pass unchanged.
#include "framework/input/macro.h"

namespace lumra::input {

void macro_hook(int32_t* x, int32_t* y, int32_t* buttons, int32_t* key, int32_t mode) {
  (void)x;
  (void)y;
  (void)buttons;
  (void)key;
  (void)mode;
  // Off (the only state so far): the reading passes unchanged.
}

}  // namespace lumra::input
