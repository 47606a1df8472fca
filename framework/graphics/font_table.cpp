// The font table and the system fonts made from it. A made font is kept in one of a few slots and
// found again by its description, so switching between the fonts of a fraction, or back to the
// settings' font, costs no new face; the current font is the one the settings (or a fraction's
// segment) selected last.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/graphics/text.h"
#include "framework/graphics/text_internal.h"
#include "framework/graphics/windows_chars.h"
#include "framework/text/oem.h"
#include "platform/system/fonts.h"

namespace lumra::graphics {
namespace {

using base::fail;

int32_t clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

LogFont base_log_font(const char* face_name, int32_t height, int32_t weight) {
  LogFont lf{};
  lf.height = height;
  lf.weight = weight;
  lf.char_set = static_cast<uint8_t>(text::font_charset());
  lf.quality = kProofQuality;
  // Names longer than a description holds are refused when installed.
  std::memcpy(lf.face_name, face_name, strnlen(face_name, kFaceNameSize - 1));
  return lf;
}

int32_t free_slot(TextState& s) {
  int32_t oldest = 0;
  for (int32_t i = 0; i < kMadeFontSlots; ++i) {
    if (!s.made[i]) return i;
    if (s.last_use[i] < s.last_use[oldest]) oldest = i;
  }
  return oldest;
}

}  // namespace

int32_t install_font(const char* face_name, int32_t type, int32_t height) {
  TextState& s = text_state();
  if (!face_name) return fail("a font needs a face name"), 0;
  const size_t length = std::strlen(face_name);
  if (length >= kFontFaceSize) return base::failf("face name longer than %d characters", kFontFaceSize - 1), 0;
  for (int32_t i = 0; i < kFontTableSize; ++i) {
    const FontEntry& e = s.fonts[i];
    if (e.type == kFontSystem && e.height == height && std::strcmp(e.face_name, face_name) == 0) return i;
  }
  if (type == kFontSystem) {
    // A system font's name must also fit the description it is made from.
    if (length >= static_cast<size_t>(kFaceNameSize)) return base::failf("face name longer than %d characters", kFaceNameSize - 1), 0;
    sys::FontFile file;
    if (!sys::find_font(windows_to_utf8_text(face_name).c_str(), kWeightNormal, false, &file)) return base::failf("the system has no font named \"%s\"", face_name), 0;
  }
  // Entry 0 is never filled and carries id 0, so ids start at 1.
  bool carried[kFontTableSize] = {};
  for (int32_t i = 0; i < kFontTableSize - 1; ++i) carried[s.fonts[i].id & 0x7F] = true;
  int32_t id = 0;
  while (id < kFontTableSize && carried[id]) ++id;
  int32_t slot = 1;
  while (slot < kFontTableSize && s.fonts[slot].id != 0) ++slot;
  if (id == kFontTableSize || slot == kFontTableSize) return fail("the font table is full"), -1;

  FontEntry entry{};
  entry.id = static_cast<uint8_t>(id);
  std::memcpy(entry.face_name, face_name, length);
  entry.type = type;
  if (type == kFontSystem) {
    entry.height = height;
    // Measured at weight 700, as the entry's widths are meant for the bold the framework draws.
    SystemFont* measure = static_cast<SystemFont*>(base::heap_alloc_zeroed(1, sizeof(SystemFont)));
    if (!measure) return fail("out of memory for a font"), 0;
    const int made = system_font_make(&s.library, measure, base_log_font(face_name, height, kWeightBold));
    entry.ave_char_width = measure->metrics.ave_char_width;
    entry.max_char_width = measure->metrics.max_char_width;
    entry.pitch_and_family = measure->metrics.pitch_and_family;
    system_font_release(measure);
    base::heap_free(measure);
    if (!made) return 0;
  }
  s.fonts[slot] = entry;
  return id;
}

LogFont settings_log_font(int32_t weight) {
  TextState& s = text_state();
  TextSettings& t = s.settings;
  if (t.size > kLargestSize) t.size = kLargestSize;
  const FontEntry* e = current_entry();
  LogFont lf = base_log_font(e ? e->face_name : "", 0, weight);
  if (!e) return lf;
  const int32_t step = size_step(t.size);
  if (step == 0) {
    const UserCharSize& u = s.user_size;
    lf.height = clamp32(int64_t{e->height} * u.multiplier_y / usable_divisor(u.divisor_y));
    lf.width = clamp32(int64_t{e->ave_char_width} * u.multiplier_x / usable_divisor(u.divisor_x));
  } else {
    const double h = e->height * kSizeTable[step].numerator / kSizeTable[step].denominator;
    lf.height = clamp32(static_cast<int64_t>(std::clamp(h, -2e9, 2e9)));
  }
  if (t.direction == kDirectionVertical) lf.escapement = kEscapementVertical;
  return lf;
}

SystemFont* select_font(const LogFont& description) {
  TextState& s = text_state();
  ++s.use_clock;
  // A font without a face name is never kept as current.
  if (s.current >= 0 && description.face_name[0] && same_log_font(s.made[s.current]->description, description)) {
    s.last_use[s.current] = s.use_clock;
    return s.made[s.current];
  }
  for (int32_t i = 0; i < kMadeFontSlots; ++i) {
    if (s.made[i] && same_log_font(s.made[i]->description, description)) {
      s.current = i;
      s.last_use[i] = s.use_clock;
      return s.made[i];
    }
  }
  s.current = -1;
  const int32_t slot = free_slot(s);
  if (!s.made[slot]) {
    s.made[slot] = static_cast<SystemFont*>(base::heap_alloc_zeroed(1, sizeof(SystemFont)));
    if (!s.made[slot]) return fail("out of memory for a font"), nullptr;
  }
  SystemFont* font = s.made[slot];
  system_font_release(font);
  ++s.fonts_made;
  if (!system_font_make(&s.library, font, description)) {
    base::heap_free(font);
    s.made[slot] = nullptr;
    return nullptr;
  }
  s.current = slot;
  s.last_use[slot] = s.use_clock;
  return font;
}

SystemFont* make_settings_font(int32_t weight) {
  TextState& s = text_state();
  text::arithmetic_symbols(text::font_charset(), s.arithmetic_signs);
  return select_font(settings_log_font(weight));
}

}  // namespace lumra::graphics
