// The conversions truncate at every division, as the colour numbers of the old adapters did: so a
// palette colour drawn by a pen (through 5-6-5) can differ by one from the same colour as a pixel.
#include "framework/graphics/colour.h"

#include "framework/graphics/palette.h"

namespace lumra::graphics {
namespace {

uint32_t expand_565(uint32_t r5, uint32_t g6, uint32_t b5) { return rgb(r5 * 255 / 31, g6 * 255 / 63, b5 * 255 / 31); }

uint32_t expand_direct(int32_t c) {
  const auto v = static_cast<uint32_t>(c);
  return expand_565(v >> 11 & 31, v >> 5 & 63, v & 31);
}

bool in_palette(int32_t c) { return c >= 0 && c < kPaletteSize; }

}  // namespace

uint32_t pen_colour(int32_t mode, int32_t c) {
  if (mode != kPaletteMode || !in_palette(c)) return expand_direct(c);
  const PaletteEntry& e = palette_entry(c);
  return expand_565(e.red >> 1, e.green, e.blue >> 1);
}

uint32_t pixel_colour(int32_t mode, int32_t c) {
  if (mode != kPaletteMode || !in_palette(c)) return expand_direct(c);
  const PaletteEntry& e = palette_entry(c);
  return rgb(e.red * 255u / 63, e.green * 255u / 63, e.blue * 255u / 63);
}

uint16_t palette_to_15bit(int32_t index) {
  const PaletteEntry& e = palette_entry(index);
  return static_cast<uint16_t>((e.red >> 1) << 10 | (e.green >> 1) << 5 | (e.blue >> 1));
}

uint16_t palette_to_16bit(int32_t index) {
  const PaletteEntry& e = palette_entry(index);
  return static_cast<uint16_t>((e.red >> 1) << 11 | e.green << 5 | (e.blue >> 1));
}

uint32_t bytes_colour(uint8_t red, uint8_t green, uint8_t blue) {
  return expand_565(red >> 3u, green >> 2u, blue >> 3u);
}

uint16_t bytes_to_16bit(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3));
}

}  // namespace lumra::graphics
