// Colour numbers to device colours: the four conversions between the palette or 5-6-5 direct
// values and COLORREFs (red | green << 8 | blue << 16). Pure functions; callers decide which
// colour numbers are valid in which mode.
#pragma once

#include <cstdint>

namespace lumra::graphics {

inline constexpr int32_t kPaletteMode = 0;
inline constexpr int32_t kDirectMode = 1;
inline constexpr int32_t kLargestColour = 65535;

inline constexpr uint32_t rgb(uint32_t red, uint32_t green, uint32_t blue) {
  return (red & 255) | (green & 255) << 8 | (blue & 255) << 16;
}
inline constexpr uint8_t red_of(uint32_t c) { return static_cast<uint8_t>(c); }
inline constexpr uint8_t green_of(uint32_t c) { return static_cast<uint8_t>(c >> 8); }
inline constexpr uint8_t blue_of(uint32_t c) { return static_cast<uint8_t>(c >> 16); }

// A: the colour pens and fills are made in. In palette mode `c` outside 0..255 is taken as a
// direct value (callers have refused it before; this keeps the palette read in bounds).
uint32_t pen_colour(int32_t mode, int32_t c);
// B: the colour single pixels and polygon outlines are written in.
uint32_t pixel_colour(int32_t mode, int32_t c);
// C: a palette entry (0..255) as a 15-bit or 16-bit value.
uint16_t palette_to_15bit(int32_t index);
uint16_t palette_to_16bit(int32_t index);
// D: a byte triple through 5-6-5; and the 16-bit value itself.
uint32_t bytes_colour(uint8_t red, uint8_t green, uint8_t blue);
uint16_t bytes_to_16bit(uint8_t red, uint8_t green, uint8_t blue);

}  // namespace lumra::graphics
