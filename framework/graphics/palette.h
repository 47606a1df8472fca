// The window's fixed 256-entry palette in 6-bit units (16 standard colours, a grey ramp, a
// 6 x 6 x 6 colour cube, 8 black) and the device colour table made from it when the window opens.
// Fixed data: nothing here changes at run time except the table's one-time fill.
#pragma once

#include <cstdint>

namespace lumra::graphics {

inline constexpr int32_t kPaletteSize = 256;

struct PaletteEntry {
  uint8_t red;  // 0..63
  uint8_t green;
  uint8_t blue;
};

// Entries as four bytes red, green, blue, flags, laid out like a LOGPALETTE's.
struct DeviceColourTable {
  uint8_t entries[kPaletteSize][4];
};

// The palette entry of `index`, which must be 0..255.
const PaletteEntry& palette_entry(int32_t index);

// Each component widened from 6 to 8 bits (c * 255 / 63), flags 0.
void fill_device_colours(DeviceColourTable* table);

// COLORREF (red | green << 8 | blue << 16) of a table entry; `index` must be 0..255.
uint32_t device_colour_entry(const DeviceColourTable& table, int32_t index);

}  // namespace lumra::graphics
