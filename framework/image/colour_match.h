// Colour matching: colour values to the window's colour numbers at a given number of colours
// (2, 16, 256, 15-bit or 16-bit), as the nearest colour, the nearest gray, or an 8 x 8 ordered
// dither pattern. Pure integer arithmetic; a count the window cannot have gives 0.
#pragma once

#include <cstdint>

namespace lumra::image {

// 30 red + 59 green + 11 blue: 0 for black, 25500 for white.
inline constexpr int32_t kBrightnessWhite = 25500;
inline int32_t brightness(uint32_t colour) {
  return 30 * static_cast<int32_t>(colour & 255) + 59 * static_cast<int32_t>(colour >> 8 & 255) +
         11 * static_cast<int32_t>(colour >> 16 & 255);
}
// The same on a 0..255 scale.
inline int32_t brightness8(uint32_t colour) { return brightness(colour) / 100; }

// The standard 8 x 8 Bayer thresholds 0..63, row-major, indexed by (y & 7) * 8 + (x & 7).
extern const uint8_t kBayer[64];
inline int32_t bayer_index(int64_t x, int64_t y) { return static_cast<int32_t>((y & 7) * 8 + (x & 7)); }

// Dither kinds.
inline constexpr int32_t kDitherNone = 0;
inline constexpr int32_t kDitherMono = 1;
inline constexpr int32_t kDitherNearestGray = 2;
inline constexpr int32_t kDitherGray = 3;
inline constexpr int32_t kDitherNearest = 4;
inline constexpr int32_t kDitherColour = 5;
inline constexpr int32_t kDitherKeep = 6;

// The window's number of colours, as a count argument: the display is always a 16-bit device.
inline constexpr int32_t kWindowColours = 65535;

// A count of 0 means the window's.
int32_t nearest_colour(uint32_t colour, int32_t colours);
int32_t nearest_gray(uint32_t colour, int32_t colours);
// One entry (0..63) of the pattern; kind 6 and unknown kinds give 0.
int32_t dither_entry(uint32_t colour, int32_t kind, int32_t colours, int32_t index);
// All 64 entries; kind 6 leaves `out` untouched.
void dither_pattern(int32_t out[64], uint32_t colour, int32_t kind, int32_t colours);
// The colour value a colour number shows as at that number of colours.
uint32_t number_colour(int32_t number, int32_t colours);
// White at that number of colours: 15, 0x7FFF or 0xFFFF.
int32_t white_number(int32_t colours);

}  // namespace lumra::image
