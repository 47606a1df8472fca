// The viewport: the rectangle whose top-left corner is the origin of all drawing coordinates.
// Only its four values live here (no clipping is implied); drawing primitives read them.
#pragma once

#include <cstdint>

namespace lumra::graphics {

struct Viewport {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

void set_viewport(int32_t left, int32_t top, int32_t right, int32_t bottom);
Viewport get_viewport();

}  // namespace lumra::graphics
