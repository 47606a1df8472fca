// The text settings, the user character size and the size table; the surfaces' text alignment
// follows the justification only while a system font is current, as the settings made it.
#include "framework/base/heap.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/text.h"
#include "framework/graphics/text_internal.h"

namespace lumra::graphics {

const SizeStep kSizeTable[kSizeSteps] = {
    {1, 1}, {6, 10}, {2, 3}, {3, 4}, {4, 4}, {4, 3}, {5, 3}, {2, 1}, {5, 2}, {3, 1},
    {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}, {10, 1}, {11, 1}, {12, 1}, {13, 1}, {14, 1},
};

TextState text_start_state() {
  TextState s{};
  s.settings = TextSettings{0, kDirectionHorizontal, 4, kJustifyLeft, kJustifyTop};
  s.user_size = UserCharSize{1, 1, 1, 1};
  s.current = -1;
  return s;
}

void text_release(TextState* state) {
  for (SystemFont*& font : state->made) {
    if (!font) continue;
    system_font_release(font);
    base::heap_free(font);
    font = nullptr;
  }
  font_library_release(&state->library);
  *state = text_start_state();
}

TextState& text_state() { return g_graphics.text; }

const FontEntry* current_entry() {
  const int32_t font = text_state().settings.font;
  return font >= 0 && font < kFontTableSize ? &text_state().fonts[font] : nullptr;
}

int32_t size_step(int32_t size) { return size < 1 ? 0 : (size > kLargestSize ? kLargestSize : size); }

int32_t usable_divisor(int32_t divisor) { return divisor ? divisor : 1; }

void set_text_style(int32_t font, int32_t direction, int32_t size) {
  TextSettings& t = text_state().settings;
  t.font = font;
  t.direction = direction;
  t.size = size;
  const FontEntry* e = current_entry();
  if (e && e->type == kFontSystem) make_settings_font(kWeightNormal);
}

TextSettings get_text_settings() { return text_state().settings; }

void set_text_justification(int32_t horizontal, int32_t vertical) {
  TextState& s = text_state();
  s.settings.horizontal = horizontal;
  s.settings.vertical = vertical;
  const FontEntry* e = current_entry();
  if (!e || e->type != kFontSystem) return;
  const uint32_t across = horizontal == kJustifyCentre ? kAlignCenter : (horizontal == kJustifyRight ? kAlignRight : kAlignLeft);
  s.align = across | (vertical == kJustifyBottom ? kAlignBaseline : kAlignTop);
}

void set_user_char_size(int32_t multiplier_x, int32_t divisor_x, int32_t multiplier_y, int32_t divisor_y) {
  text_state().user_size = UserCharSize{multiplier_x, divisor_x, multiplier_y, divisor_y};
}

const SystemFont* current_system_font() {
  const TextState& s = text_state();
  return s.current >= 0 ? s.made[s.current] : nullptr;
}

}  // namespace lumra::graphics
