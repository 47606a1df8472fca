// The palette is computed at compile time from its three rules, so the table cannot drift from
// them; the sixteen standard colours are the only literal data.
#include "framework/graphics/palette.h"

#include <array>
#include <cstddef>

namespace lumra::graphics {
namespace {

constexpr PaletteEntry kStandard[16] = {
    {0, 0, 0},    {0, 0, 47},  {0, 47, 0},  {0, 47, 47},  {47, 0, 0},  {47, 0, 47},  {47, 47, 0},  {47, 47, 47},
    {32, 32, 32}, {0, 0, 63},  {0, 63, 0},  {0, 63, 63},  {63, 0, 0},  {63, 0, 63},  {63, 63, 0},  {63, 63, 63},
};

constexpr std::array<PaletteEntry, kPaletteSize> make_palette() {
  std::array<PaletteEntry, kPaletteSize> p{};
  for (int i = 0; i < 16; ++i) p[i] = kStandard[i];
  for (int i = 0; i < 16; ++i) {
    const auto v = static_cast<uint8_t>(i * 17 / 4);
    p[16 + i] = PaletteEntry{v, v, v};
  }
  for (int r = 0; r < 6; ++r) {
    for (int g = 0; g < 6; ++g) {
      for (int b = 0; b < 6; ++b) {
        p[32 + 36 * r + 6 * g + b] = PaletteEntry{static_cast<uint8_t>(63 * r / 5), static_cast<uint8_t>(63 * g / 5),
                                                  static_cast<uint8_t>(63 * b / 5)};
      }
    }
  }
  // 248..255 stay black.
  return p;
}

constexpr std::array<PaletteEntry, kPaletteSize> kPalette = make_palette();
static_assert(kPalette[31].red == 63 && kPalette[20].red == 17 && kPalette[247].blue == 63);

}  // namespace

const PaletteEntry& palette_entry(int32_t index) { return kPalette[static_cast<size_t>(index & 255)]; }

void fill_device_colours(DeviceColourTable* table) {
  for (int32_t i = 0; i < kPaletteSize; ++i) {
    const PaletteEntry& e = kPalette[static_cast<size_t>(i)];
    table->entries[i][0] = static_cast<uint8_t>(e.red * 255 / 63);
    table->entries[i][1] = static_cast<uint8_t>(e.green * 255 / 63);
    table->entries[i][2] = static_cast<uint8_t>(e.blue * 255 / 63);
    table->entries[i][3] = 0;
  }
}

uint32_t device_colour_entry(const DeviceColourTable& table, int32_t index) {
  const uint8_t* e = table.entries[index & 255];
  return static_cast<uint32_t>(e[0]) | static_cast<uint32_t>(e[1]) << 8 | static_cast<uint32_t>(e[2]) << 16;
}

}  // namespace lumra::graphics
