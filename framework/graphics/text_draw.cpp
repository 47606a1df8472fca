// Drawing and measuring texts: the stroke engine for font types 0 and 1, system fonts for type 2
// with the fraction markup walked segment by segment. Everything paints the back buffer through
// one raster target and shows the changed rectangle once.
#include <algorithm>
#include <cstring>

#include "framework/graphics/clip.h"
#include "framework/graphics/fraction_markup.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/prepared_text.h"
#include "framework/graphics/primitives_internal.h"
#include "framework/graphics/stroke_font.h"
#include "framework/graphics/text.h"
#include "framework/graphics/text_internal.h"

namespace lumra::graphics {
namespace {

// ---- stroke fonts

const StrokeFace& settings_face(const FontEntry& e) {
  return e.type == kFontStrokeNamed ? stroke_face(e.face_name) : stroke_face_default();
}

// The size factors along x and y of the settings.
void size_factors(double* fx, double* fy) {
  const TextState& s = text_state();
  const int32_t step = size_step(s.settings.size);
  if (step == 0) {
    const UserCharSize& u = s.user_size;
    *fx = static_cast<double>(u.multiplier_x) / usable_divisor(u.divisor_x);
    *fy = static_cast<double>(u.multiplier_y) / usable_divisor(u.divisor_y);
  } else {
    *fx = *fy = kSizeTable[step].numerator / kSizeTable[step].denominator;
  }
}

StrokeScale settings_stroke_scale() {
  double fx = 1, fy = 1;
  size_factors(&fx, &fy);
  return stroke_scale(fx, fy, text_state().settings.direction == kDirectionVertical);
}

// Device point of (u along the text, v down across it) from the reference point.
Point64 along(Point64 at, int64_t u, int64_t v, bool vertical) {
  return vertical ? Point64{at.x + v, at.y - u} : Point64{at.x + u, at.y + v};
}

Point64 device_point(int32_t x, int32_t y) {
  const Viewport& v = g_graphics.viewport;
  return Point64{static_cast<int64_t>(x) + v.left, static_cast<int64_t>(y) + v.top};
}

// The stroke text placed by the settings' justification: left, centre or right of the point
// along the text; the point on the baseline (bottom), midway between ascent and descent (middle)
// or at the top of the capitals (top).
void draw_stroke(RasterTarget* t, const FontEntry& e, Point64 at, const char* text, size_t length) {
  const TextSettings& s = text_state().settings;
  const StrokeFace& face = settings_face(e);
  const StrokeScale scale = settings_stroke_scale();
  const int64_t width = stroke_width(face, scale, text, length);
  const int64_t u = s.horizontal == kJustifyCentre ? -(width / 2) : (s.horizontal == kJustifyRight ? -width : 0);
  const int64_t ascent = stroke_ascent(face, scale), descent = stroke_descent(face, scale);
  const int64_t v = s.vertical == kJustifyBottom ? 0 : (s.vertical == kJustifyMiddle ? (ascent + descent) / 2 : ascent);
  const Point64 origin = along(at, u, v, scale.vertical);
  stroke_draw(t, face, scale, origin.x, origin.y, text, length, drawing_pen(), thin_line_record());
}

// ---- system fonts and the fraction markup

// Draws (target non-null) or measures one prepared segment in `font`, its reference point `u`
// along and `v` across the text from `at`; returns its width.
int32_t segment(RasterTarget* t, SystemFont* font, Point64 at, int64_t u, int64_t v, uint32_t align, const char* oem,
                size_t length) {
  if (!font || !length) return 0;
  PreparedText p;
  if (!prepare_text(&p, oem, length)) return 0;
  if (t) {
    const Point64 point = along(at, u, v, font->description.escapement == kEscapementVertical);
    system_font_draw(t, font, point.x, point.y, align, p.data, p.length, text_colour());
  }
  return system_font_width(font, p.data, p.length);
}

bool equals_ignoring_case(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    const char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
    const char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// Walks the marked-up text from `u0` along it, drawing when t is non-null, and returns where it
// ends, relative to u0. `base` is the description of the settings' font.
int64_t walk_fractions(RasterTarget* t, const LogFont& base, Point64 at, int64_t u0, uint32_t align, const char* text,
                       size_t length) {
  // Heights may be negative (an em height): the offsets use their size.
  const int64_t h = base.height < 0 ? -int64_t{base.height} : base.height;
  const int64_t small_h = 3 * h / 4;
  LogFont small = base;
  small.height = 3 * base.height / 4;
  small.width = 3 * base.width / 4;
  LogFont slanted = base;
  slanted.italic = 1;
  const TextState& s = text_state();
  const int64_t ratio_m = size_step(s.settings.size) == 0 ? s.user_size.multiplier_x : 1;
  const int64_t ratio_d = size_step(s.settings.size) == 0 ? usable_divisor(s.user_size.divisor_x) : 1;
  const bool tahoma = equals_ignoring_case(base.face_name, "tahoma");

  int64_t u = u0;
  size_t from = 0;
  Fraction f{};
  while (find_fraction(text, from, length, &f)) {
    const size_t whole = f.mark - from;
    u += segment(t, select_font(base), at, u, 0, align, text + from, whole);
    // After a whole part the numerator keeps a little distance from it; after a lone minus sign
    // (or nothing) it does not.
    const bool spaced = whole > 0 && !(whole == 1 && text[from] == '-');
    const int64_t shift = spaced ? small_h / 4 * ratio_m / ratio_d : 0;
    int64_t advance = shift + segment(t, select_font(small), at, u + shift, 0, align, text + f.numerator, f.numerator_length);
    if (f.numerator_length == 1 && text[f.numerator] == '7') {
      advance = advance * 2 / 3;
    } else if (tahoma) {
      advance = advance * 4 / 5;
    }
    u += advance;
    u += segment(t, select_font(slanted), at, u, 0, align, "/", 1);
    const char first = text[f.denominator];
    const int64_t forward = (first == '2' || first == '3' || first == '8') ? h / 12 : 0;
    u += segment(t, select_font(small), at, u + forward, h - small_h, align, text + f.denominator, f.denominator_length);
    from = f.end;
  }
  u += segment(t, select_font(base), at, u, 0, align, text + from, length - from);
  return u - u0;
}

// Draws (t non-null) or measures a text in a system font at a weight; returns its width.
int32_t system_text(RasterTarget* t, Point64 at, const char* text, size_t length, int32_t weight) {
  SystemFont* font = make_settings_font(weight);
  if (!font) return 0;
  const LogFont base = font->description;
  const uint32_t align = text_state().align;
  Fraction f{};
  if (!find_fraction(text, 0, length, &f)) return segment(t, font, at, 0, 0, align, text, length);
  // Segments are placed from the left: a centred or right-aligned text starts back by its width.
  int64_t u0 = 0;
  const uint32_t horizontal = align & kAlignHorizontalMask;
  if (t && (horizontal == kAlignCenter || horizontal == kAlignRight)) {
    const int64_t width = walk_fractions(nullptr, base, at, 0, align, text, length);
    u0 = horizontal == kAlignRight ? -width : -(width / 2);
  }
  const int64_t width = walk_fractions(t, base, at, u0, align & ~kAlignHorizontalMask, text, length);
  // The settings' font is current again, as without markup.
  select_font(base);
  return static_cast<int32_t>(std::clamp<int64_t>(width, INT32_MIN, INT32_MAX));
}

// ---- entry points

// What a text is drawn with: the entry of the settings' font, or null when nothing is drawn
// (a font number outside the table, a type other than 0, 1 and 2).
const FontEntry* drawable_entry() {
  const FontEntry* e = current_entry();
  if (!e || e->type < kFontStroke || e->type > kFontSystem) return nullptr;
  return e;
}

void draw(int32_t x, int32_t y, const char* text, bool bold) {
  if (!text || !*text) return;
  const FontEntry* e = drawable_entry();
  if (!e) return;
  const size_t length = std::strlen(text);
  RasterTarget t = drawing_target();
  if (e->type == kFontSystem) {
    system_text(&t, device_point(x, y), text, length, bold ? kWeightBold : kWeightNormal);
  } else {
    if (e->type == kFontStroke) text_state().settings.font = 0, e = &text_state().fonts[0];
    draw_stroke(&t, *e, device_point(x, y), text, length);
    if (bold) {
      const bool vertical = text_state().settings.direction == kDirectionVertical;
      draw_stroke(&t, *e, device_point(vertical ? x : x + 1, vertical ? y - 1 : y), text, length);
    }
  }
  present_touched(t.touched);
}

int32_t width_of(const char* text, bool bold) {
  if (!text || !*text) return 0;
  const FontEntry* e = drawable_entry();
  if (!e) return 0;
  const size_t length = std::strlen(text);
  if (e->type == kFontSystem) {
    // The surfaces add no extra spacing between characters, so the bold width adds nothing.
    return system_text(nullptr, Point64{0, 0}, text, length, bold ? kWeightBold : kWeightNormal);
  }
  return stroke_width(settings_face(*e), settings_stroke_scale(), text, length) + (bold ? 1 : 0);
}

}  // namespace

void draw_text(int32_t x, int32_t y, const char* text) { draw(x, y, text, false); }

void draw_bold_text(int32_t x, int32_t y, const char* text) { draw(x, y, text, true); }

int32_t text_width(const char* text) { return width_of(text, false); }

int32_t bold_text_width(const char* text) { return width_of(text, true); }

int32_t text_height() {
  const FontEntry* e = drawable_entry();
  if (!e) return 0;
  int64_t height = 0;
  if (e->type == kFontSystem) {
    height = 3 * int64_t{e->height} / 4;
  } else {
    height = stroke_height(settings_face(*e), stroke_scale(1, 1, false));
  }
  const TextState& s = text_state();
  const int32_t step = size_step(s.settings.size);
  if (step == 0) {
    height = height * s.user_size.multiplier_y / usable_divisor(s.user_size.divisor_y);
  } else {
    height = static_cast<int64_t>(static_cast<double>(height) * kSizeTable[step].numerator / kSizeTable[step].denominator);
  }
  return static_cast<int32_t>(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX));
}

}  // namespace lumra::graphics
