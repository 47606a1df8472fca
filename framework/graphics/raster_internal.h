// Helpers shared by the rasterizer's files only: 128-bit exact arithmetic, floor/ceil division and
// the row walk over a clip. Not for use outside framework/graphics/raster*.cpp.
#pragma once

#include <cstdint>

#include "framework/graphics/raster.h"

namespace lumra::graphics::raster_detail {

// 128-bit products keep every intermediate of 64-bit geometry exact.
__extension__ typedef __int128 Int128;

inline Int128 floor_div(Int128 num, Int128 den) {  // den > 0
  Int128 q = num / den;
  if (num % den != 0 && num < 0) --q;
  return q;
}
inline Int128 ceil_div(Int128 num, Int128 den) {  // den > 0
  Int128 q = num / den;
  if (num % den != 0 && num > 0) ++q;
  return q;
}

// Clamps a 128-bit value to the 64-bit range, for coordinates that are cut to the clip anyway.
inline int64_t clamp64(Int128 v) {
  if (v > INT64_MAX) return INT64_MAX;
  if (v < INT64_MIN) return INT64_MIN;
  return static_cast<int64_t>(v);
}

// Writes n pixels of one colour from p on: memset for greys, else 16-pixel blocks of a prepared
// 48-byte pattern, which the compiler turns into three 16-byte stores.
void fill_pixels(uint8_t* p, size_t n, uint32_t colour);

}  // namespace lumra::graphics::raster_detail
