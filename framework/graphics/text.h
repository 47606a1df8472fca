// Text in the graphics window: a font number from the font table, a direction, a size step and a
// justification, in the manner of the old PC graphics libraries. A table entry is one of the
// framework's own stroke fonts (types 0 and 1, stroke_font.h) or a system font installed by name
// (type 2, system_font.h). Texts are OEM; byte 20 starts the fraction markup of system fonts.
#pragma once

#include <cstdint>

#include "framework/graphics/system_font.h"

namespace lumra::graphics {

inline constexpr int32_t kFontTableSize = 128;
inline constexpr int32_t kFontFaceSize = 33;  // 32 characters and the NUL
inline constexpr int32_t kSizeSteps = 21;
inline constexpr int32_t kLargestSize = 20;
// Fonts made lately and kept for reuse: enough for a fraction's normal, small and italic fonts in
// both weights.
inline constexpr int32_t kMadeFontSlots = 8;

// Font types.
inline constexpr int32_t kFontStroke = 0;        // the framework's font 0
inline constexpr int32_t kFontStrokeNamed = 1;   // a stroke face chosen by name
inline constexpr int32_t kFontSystem = 2;        // a system font found by family name

inline constexpr int32_t kDirectionHorizontal = 0;
inline constexpr int32_t kDirectionVertical = 1;  // runs upwards

inline constexpr int32_t kJustifyLeft = 0, kJustifyCentre = 1, kJustifyRight = 2;
inline constexpr int32_t kJustifyBottom = 0, kJustifyMiddle = 1, kJustifyTop = 2;

// The fraction markup's lead byte.
inline constexpr char kFractionMark = 20;

struct TextSettings {
  int32_t font;        // index into the font table
  int32_t direction;   // kDirection*
  int32_t size;        // 0: by the user character size; 1..20: a step of the size table
  int32_t horizontal;  // kJustifyLeft, kJustifyCentre, kJustifyRight
  int32_t vertical;    // kJustifyBottom, kJustifyMiddle, kJustifyTop
};

struct UserCharSize {
  int32_t multiplier_x;
  int32_t divisor_x;
  int32_t multiplier_y;
  int32_t divisor_y;
};

struct SizeStep {
  double numerator;
  double denominator;
};
extern const SizeStep kSizeTable[kSizeSteps];

// A font table entry, in the table's field order (entry id, face name, type, nominal height,
// tmAveCharWidth, tmMaxCharWidth, tmPitchAndFamily). All zero when free.
struct FontEntry {
  uint8_t id;  // 1..127; 0 in a free entry (entry 0 is never filled)
  char face_name[kFontFaceSize];
  int32_t type;
  int32_t height;  // system fonts: nominal height in pixels
  int32_t ave_char_width;
  int32_t max_char_width;
  int32_t pitch_and_family;
};

struct TextState {
  TextSettings settings;
  UserCharSize user_size;
  FontEntry fonts[kFontTableSize];
  uint32_t align;               // the drawing surfaces' text alignment for system fonts (kAlign* bits)
  char arithmetic_signs[2];     // OEM multiplication and division signs, set whenever a font is made
  FontLibrary* library;
  SystemFont* made[kMadeFontSlots];  // framework heap
  uint32_t last_use[kMadeFontSlots];
  int32_t current;              // slot of the current system font, -1 none
  uint32_t use_clock;
  uint32_t fonts_made;          // system fonts made from a description, for tests
};

// Start values: font 0, horizontal, size 4, justification left and top, user size 1/1.
TextState text_start_state();
// Frees the made fonts and FreeType, and returns the state to its start values.
void text_release(TextState* state);

// Stores the three values; with a system font the font of the new settings is made (weight 400).
void set_text_style(int32_t font, int32_t direction, int32_t size);
TextSettings get_text_settings();
// Stores both; with a system font current, also the surfaces' alignment: horizontal 0 left,
// 1 centre, 2 right (others left), plus vertical 0 baseline, anything else top.
void set_text_justification(int32_t horizontal, int32_t vertical);
void set_user_char_size(int32_t multiplier_x, int32_t divisor_x, int32_t multiplier_y, int32_t divisor_y);

// The font's number; -1 when the table is full; 0 when the system has no family of that name
// (type 2), or the name is null or longer than the table holds. The same type-2 face and height
// installed again returns the same number.
int32_t install_font(const char* face_name, int32_t type, int32_t height);

// Text at (x, y), viewport coordinates, in the current settings: stroke fonts with the current
// pen, system fonts in the text colour over a transparent background. An empty text draws nothing.
void draw_text(int32_t x, int32_t y, const char* text);
// System fonts at weight 700; stroke fonts drawn twice, one pixel apart along the text.
void draw_bold_text(int32_t x, int32_t y, const char* text);
int32_t text_width(const char* text);
int32_t bold_text_width(const char* text);
int32_t text_height();

// The system font the settings made last (null: none), for tests and the text layer.
const SystemFont* current_system_font();

}  // namespace lumra::graphics
