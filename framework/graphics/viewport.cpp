// Viewport storage.
#include "framework/graphics/viewport.h"

#include "framework/graphics/graphics.h"

namespace lumra::graphics {

void set_viewport(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  g_graphics.viewport = Viewport{left, top, right, bottom};
}

Viewport get_viewport() { return g_graphics.viewport; }

}  // namespace lumra::graphics
