// Shared inside the text layer: the settings' table entry, the size factors, and the made-font
// cache behind the system fonts.
#pragma once

#include <cstdint>

#include "framework/graphics/text.h"

namespace lumra::graphics {

TextState& text_state();

// The entry of the current font, or null for a font number outside the table.
const FontEntry* current_entry();

// The size step the settings use: sizes above 20 read step 20, and sizes below 1 mean the user
// character size (0).
int32_t size_step(int32_t size);

// A divisor of the user character size as the arithmetic takes it: 0 counts as 1.
int32_t usable_divisor(int32_t divisor);

// The description of the current entry's font at a weight (the settings' size, direction, the
// framework's character set, proof quality). Clamps a size above 20 to 20 in the settings.
LogFont settings_log_font(int32_t weight);

// The made font of a description: the current one when it matches byte for byte, else one kept
// from before, else a new one (counted in fonts_made). It becomes current. Null when it cannot be
// made (a reason is recorded); then there is no current font.
SystemFont* select_font(const LogFont& description);

// The font of the current settings at a weight (400 or 700); also sets the arithmetic signs.
SystemFont* make_settings_font(int32_t weight);

}  // namespace lumra::graphics
