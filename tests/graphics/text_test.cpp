// The text layer on the headless backend: settings and the size table, the font table and its
// installation, system fonts made from the settings, justification, the fraction markup read back
// as glyph boxes from the back buffer, stroke fonts, measuring against the ink, and golden frames
// of stroke text. System fonts are Debian's DejaVu Sans (fonts-dejavu-core) found by fontconfig.
#include "framework/graphics/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/base/heap.h"
#include "framework/graphics/clip.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/fraction_markup.h"
#include "framework/graphics/prepared_text.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/stroke_font.h"
#include "tests/graphics/text_test_support.h"
#include "tests/platform/headless_session.h"

namespace lumra::graphics {
namespace {

namespace hl = platform::headless;
using test_support::Box;
using test_support::ink_box;
using test_support::ink_pieces;

constexpr const char* kFace = "DejaVu Sans";
constexpr int32_t kW = 320, kH = 240;

// A 320 x 240 window, black, drawing in white: the pen (stroke fonts) and the text colour
// (system fonts).
class Text : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    open_drawing_window();
    set_colour(15);
  }
  // Clearing the window resets the text style: the test's own is put back.
  void clear() {
    const TextSettings t = get_text_settings();
    clear_window();
    set_colour(15);
    set_text_style(t.font, t.direction, t.size);
  }
  // Any pixel that is not black.
  static Box ink() {
    return ink_box(kW, kH, [](int32_t x, int32_t y) { return back(x, y) != 0; });
  }
  // Glyphs as pieces of at least half-bright ink.
  static std::vector<Box> glyphs() {
    return ink_pieces(kW, kH, [](int32_t x, int32_t y) { return (back(x, y) & 0xFF) >= 128; });
  }
  static int32_t install_system(int32_t height) {
    const int32_t id = install_font(kFace, kFontSystem, height);
    EXPECT_GT(id, 0) << "fonts-dejavu-core provides " << kFace;
    return id;
  }
};

TEST(TextStart, SettingsAndTable) {
  const TextState s = text_start_state();
  EXPECT_EQ(s.settings.font, 0);
  EXPECT_EQ(s.settings.direction, 0);
  EXPECT_EQ(s.settings.size, 4);
  EXPECT_EQ(s.settings.horizontal, 0);
  EXPECT_EQ(s.settings.vertical, 2);
  EXPECT_EQ(s.user_size.multiplier_x, 1);
  EXPECT_EQ(s.user_size.divisor_y, 1);
  for (const FontEntry& e : s.fonts) EXPECT_EQ(e.id | e.type | e.height, 0);
  const double steps[kSizeSteps] = {1, 0.6, 2.0 / 3, 0.75, 1, 4.0 / 3, 5.0 / 3, 2, 2.5, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  for (int32_t i = 0; i < kSizeSteps; ++i) {
    EXPECT_DOUBLE_EQ(kSizeTable[i].numerator / kSizeTable[i].denominator, steps[i]) << i;
  }
}

TEST_F(Text, OpeningSetsFontZeroHorizontalSizeZero) {
  const TextSettings t = get_text_settings();
  EXPECT_EQ(t.font, 0);
  EXPECT_EQ(t.direction, 0);
  EXPECT_EQ(t.size, 0);
  EXPECT_EQ(t.vertical, 2) << "justification is not reset";
}

TEST_F(Text, InstallingTheSameFaceTwice) {
  const int32_t a = install_system(16);
  EXPECT_EQ(install_font(kFace, kFontSystem, 16), a);
  const int32_t taller = install_font(kFace, kFontSystem, 24);
  EXPECT_GT(taller, a) << "another height is another font";
  EXPECT_EQ(install_font("dejavu sans", kFontSystem, 16), taller + 1)
      << "found case-blind, but the table compares names exactly";
  const FontEntry& e = g_graphics.text.fonts[a];
  EXPECT_EQ(e.id, a);
  EXPECT_STREQ(e.face_name, kFace);
  EXPECT_EQ(e.type, kFontSystem);
  EXPECT_EQ(e.height, 16);
  EXPECT_GT(e.ave_char_width, 4);
  EXPECT_GT(e.max_char_width, e.ave_char_width);
  EXPECT_EQ(e.pitch_and_family, 0x27) << "variable pitch, vector, TrueType, Swiss";
}

TEST_F(Text, InstallRefusals) {
  EXPECT_EQ(install_font("No Such Face Lumra", kFontSystem, 16), 0);
  EXPECT_EQ(install_font("sans-serif", kFontSystem, 16), 0) << "an alias is no family";
  EXPECT_EQ(install_font(nullptr, kFontSystem, 16), 0);
  EXPECT_EQ(install_font(std::string(33, 'a').c_str(), kFontStrokeNamed, 0), 0) << "longer than the table holds";
  EXPECT_EQ(install_font(std::string(32, 'a').c_str(), kFontSystem, 16), 0) << "longer than a description holds";
  EXPECT_EQ(install_font(std::string(32, 'a').c_str(), kFontStrokeNamed, 0), 1);
  EXPECT_EQ(g_graphics.text.fonts[0].id, 0) << "entry 0 is never filled";
}

TEST_F(Text, FullTableGivesMinusOne) {
  for (int32_t i = 1; i < kFontTableSize; ++i) {
    ASSERT_EQ(install_font(("stroke " + std::to_string(i)).c_str(), kFontStrokeNamed, 0), i);
  }
  EXPECT_EQ(install_font("one more", kFontStrokeNamed, 0), -1);
  EXPECT_EQ(install_font("timesr", kFontStroke, 0), -1);
}

TEST_F(Text, SizeAboveTwentyIsStoredAsTwentyWhenASystemFontIsMade) {
  set_text_style(0, 0, 25);
  EXPECT_EQ(get_text_settings().size, 25) << "no system font made";
  const int32_t id = install_system(16);
  set_text_style(id, 0, 25);
  EXPECT_EQ(get_text_settings().size, 20);
  ASSERT_NE(current_system_font(), nullptr);
  EXPECT_EQ(current_system_font()->description.height, 16 * 14);
}

TEST_F(Text, DefaultUserSizeAndSizeZeroMakeTheEntryHeightAndAverageWidth) {
  const int32_t id = install_system(16);
  set_text_style(id, 0, 0);
  const SystemFont* f = current_system_font();
  ASSERT_NE(f, nullptr);
  const LogFont& lf = f->description;
  EXPECT_EQ(lf.height, 16);
  EXPECT_EQ(lf.width, g_graphics.text.fonts[id].ave_char_width);
  EXPECT_EQ(lf.weight, kWeightNormal);
  EXPECT_EQ(lf.escapement, 0);
  EXPECT_EQ(lf.char_set, 1) << "DEFAULT_CHARSET";
  EXPECT_EQ(lf.quality, kProofQuality);
  EXPECT_STREQ(lf.face_name, kFace);
  EXPECT_EQ(f->metrics.height, 16) << "a positive height is the cell height";
  EXPECT_EQ(f->metrics.ave_char_width, lf.width) << "the width asked for is the average width";
  EXPECT_EQ(g_graphics.text.arithmetic_signs[0], '\x9E');
  EXPECT_EQ(g_graphics.text.arithmetic_signs[1], '\xF6');

  set_user_char_size(3, 2, 5, 4);
  set_text_style(id, 1, 0);
  EXPECT_EQ(current_system_font()->description.height, 16 * 5 / 4);
  EXPECT_EQ(current_system_font()->description.width, g_graphics.text.fonts[id].ave_char_width * 3 / 2);
  EXPECT_EQ(current_system_font()->description.escapement, 900);
  set_text_style(id, 0, 7);
  EXPECT_EQ(current_system_font()->description.height, 32);
  EXPECT_EQ(current_system_font()->description.width, 0);
}

TEST_F(Text, AFontIsMadeOnlyWhenItsDescriptionChanges) {
  const int32_t id = install_system(16);
  set_text_style(id, 0, 4);
  const uint32_t made = g_graphics.text.fonts_made;
  set_text_style(id, 0, 4);
  draw_text(10, 10, "same");
  EXPECT_EQ(g_graphics.text.fonts_made, made);
  set_text_style(id, 0, 5);
  EXPECT_EQ(g_graphics.text.fonts_made, made + 1);
  set_text_style(id, 0, 4);
  EXPECT_EQ(g_graphics.text.fonts_made, made + 1) << "kept from before";
  EXPECT_EQ(current_system_font()->description.height, 16);
}

TEST_F(Text, JustificationSetsTheAlignmentOfASystemFont) {
  set_text_justification(1, 0);
  EXPECT_EQ(g_graphics.text.align, 0u) << "a stroke font leaves the alignment alone";
  const int32_t id = install_system(16);
  set_text_style(id, 0, 4);
  struct Case {
    int32_t h, v;
    uint32_t align;
  };
  const Case cases[] = {{1, 0, 30}, {2, 2, 2}, {0, 0, 24}, {0, 1, 0}, {7, 0, 24}, {2, 0, 26}};
  for (const Case& c : cases) {
    set_text_justification(c.h, c.v);
    EXPECT_EQ(g_graphics.text.align, c.align) << c.h << "," << c.v;
    EXPECT_EQ(get_text_settings().horizontal, c.h);
    EXPECT_EQ(get_text_settings().vertical, c.v);
  }
}

TEST_F(Text, SystemTextLiesWhereTheJustificationPutsIt) {
  const int32_t id = install_system(24);
  set_text_style(id, 0, 4);
  const int32_t width = text_width("Lumra");
  EXPECT_GT(width, 30);
  struct Case {
    int32_t h, v;
    int32_t left, right;  // where the ink may lie, around x = 160
  };
  const Case cases[] = {{0, 2, 160, 160 + width}, {1, 2, 160 - width / 2, 160 + width - width / 2}, {2, 2, 160 - width, 160}};
  for (const Case& c : cases) {
    clear();
    set_text_justification(c.h, c.v);
    draw_text(160, 100, "Lumra");
    const Box b = ink();
    ASSERT_FALSE(b.empty());
    EXPECT_GE(b.left, c.left - 1) << c.h;
    EXPECT_LE(b.right, c.right) << c.h;
    EXPECT_GE(b.width(), width - 4) << c.h;
    EXPECT_GE(b.top, 100) << "top alignment: the ink hangs below the point";
    EXPECT_LE(b.bottom, 100 + 24);
  }
  clear();
  set_text_justification(0, 0);
  draw_text(160, 100, "Lumra");
  const Box b = ink();
  EXPECT_LT(b.top, 100);
  EXPECT_LE(b.bottom, 100) << "baseline alignment: no descender in Lumra";
  EXPECT_GE(b.bottom, 99);
}

TEST_F(Text, FractionMarkupDrawsFourGlyphs) {
  const int32_t id = install_system(48);
  set_text_style(id, 0, 4);
  set_text_justification(0, 2);
  draw_text(20, 40, "1\x14" "1/2");
  const std::vector<Box> g = glyphs();
  ASSERT_EQ(g.size(), 4u) << "whole, numerator, slash, denominator";
  const Box& whole = g[0];
  const Box& top = g[1];
  const Box& slash = g[2];
  const Box& bottom = g[3];
  EXPECT_GT(whole.height(), 28) << "a full-size 1";
  EXPECT_NEAR(top.height(), whole.height() * 3 / 4, 3) << "a small 1";
  EXPECT_LE(top.top, whole.top + 2) << "the small numerator sits at the same top: raised";
  EXPECT_LT(top.bottom, whole.bottom - 6);
  EXPECT_GT(top.left, whole.right) << "and keeps a distance from the whole part";
  EXPECT_GE(slash.height(), whole.height()) << "the slash in the full height";
  EXPECT_NEAR(bottom.height(), top.height(), 3) << "a small 2";
  EXPECT_EQ(bottom.top - top.top, 48 - 48 * 3 / 4) << "lowered by h - 3h/4";
  EXPECT_GT(bottom.bottom, top.bottom);

  // The slash is italic: wider than the upright one of the same font and height.
  clear();
  draw_text(20, 40, "/");
  const std::vector<Box> upright = glyphs();
  ASSERT_EQ(upright.size(), 1u);
  EXPECT_GT(slash.width(), upright[0].width() + 2);
  EXPECT_NEAR(slash.height(), upright[0].height(), 1);
}

TEST_F(Text, WithoutAValidFractionByteTwentyIsNoMarkup) {
  const int32_t id = install_system(32);
  set_text_style(id, 0, 4);
  struct Case {
    const char* marked;
    const char* plain;  // what is drawn: the byte removed
  };
  const Case cases[] = {
      {"1\x14" "3/2", "13/2"}, {"1\x14" "3/3", "13/3"}, {"1\x14" "0/2", "10/2"}, {"\x14" "13/", "13/"},
  };
  for (const Case& c : cases) {
    clear();
    draw_text(20, 40, c.plain);
    const uint64_t plain = hl::frame_hash();
    clear();
    draw_text(20, 40, c.marked);
    EXPECT_EQ(hl::frame_hash(), plain) << c.plain;
    EXPECT_EQ(text_width(c.marked), text_width(c.plain)) << c.plain;
  }
  clear();
  draw_text(20, 40, "13/2");
  const uint64_t plain = hl::frame_hash();
  clear();
  draw_text(20, 40, "1\x14" "1/2");
  EXPECT_NE(hl::frame_hash(), plain);
}

TEST_F(Text, MarkupWidthIsWhereTheSegmentsEnd) {
  const int32_t id = install_system(40);
  set_text_style(id, 0, 4);
  const std::string text = "3\x14" "7/8 in";
  const int32_t width = text_width(text.c_str());
  // Right-aligned, the marked-up text ends at the point, as a plain text does.
  set_text_justification(2, 2);
  draw_text(300, 40, text.c_str());
  const Box b = ink();
  EXPECT_LE(b.right, 300);
  EXPECT_GE(b.right, 296);
  EXPECT_LE(b.left, 300 - width + 4);
  EXPECT_GE(b.left, 300 - width - 1);
  EXPECT_EQ(bold_text_width(text.c_str()) > width, true) << "bold is wider";
  EXPECT_LT(text_width("3\x14" "7/8"), text_width("3\x14" "1/8")) << "a lone 7 advances by two thirds";
}

TEST_F(Text, VerticalTextRunsUpwards) {
  set_text_justification(0, 2);
  const int32_t width = text_width("LUMRA");
  set_text_style(0, 1, 0);
  draw_text(100, 200, "LUMRA");
  const Box up = ink();
  ASSERT_FALSE(up.empty());
  EXPECT_LE(up.bottom, 200 + 1) << "from the point upwards";
  EXPECT_NEAR(up.height(), width, 3);
  EXPECT_GE(up.left, 100) << "top justification: the capitals' tops on the point's column";
  EXPECT_LT(up.width(), width / 2);
  // The first letter is at the bottom: "L" alone covers the lowest part.
  clear();
  draw_text(100, 200, "L");
  const Box l = ink();
  EXPECT_GE(l.top, up.bottom - width / 4);

  const int32_t id = install_system(24);
  clear();
  set_text_style(id, 1, 4);
  set_text_justification(0, 2);
  const int32_t system_width = text_width("Lumra");
  draw_text(100, 200, "Lumra");
  const Box sys_up = ink();
  EXPECT_LE(sys_up.bottom, 200);
  EXPECT_NEAR(sys_up.height(), system_width, 4);
  EXPECT_GE(sys_up.left, 100);
  EXPECT_LE(sys_up.right, 100 + 24);
}

TEST_F(Text, WidthsAndHeightsScaleWithTheSizeTable) {
  set_text_style(0, 0, 4);
  const int32_t stroke_w = text_width("Lumra 2");
  EXPECT_EQ(text_height(), 14) << "ascent 21 and descent 7 units, two to a pixel";
  const int32_t id = install_system(16);
  set_text_style(id, 0, 4);
  const int32_t system_w = text_width("Lumra 2");
  EXPECT_EQ(text_height(), 12) << "three quarters of the entry height";
  for (int32_t size = 1; size <= 20; ++size) {
    const double f = kSizeTable[size].numerator / kSizeTable[size].denominator;
    set_text_style(0, 0, size);
    EXPECT_EQ(text_height(), static_cast<int32_t>(14 * f)) << size;
    EXPECT_NEAR(text_width("Lumra 2"), stroke_w * f, 1 + f) << size;
    set_text_style(id, 0, size);
    EXPECT_EQ(text_height(), static_cast<int32_t>(12 * f)) << size;
    // Hinting rounds each glyph's advance to whole pixels: about half a pixel per glyph.
    EXPECT_NEAR(text_width("Lumra 2"), system_w * f, 4 + 7 * f / 2) << size;
  }
  set_user_char_size(2, 1, 3, 1);
  set_text_style(0, 0, 0);
  EXPECT_EQ(text_height(), 42);
  EXPECT_NEAR(text_width("Lumra 2"), 2 * stroke_w, 1);
  set_text_style(id, 0, 0);
  EXPECT_EQ(text_height(), 36);
  set_user_char_size(1, 0, 1, 0);
  EXPECT_EQ(text_height(), 12) << "a zero divisor counts as 1";
}

TEST_F(Text, EmptyTextDrawsNothingAndMeasuresZero) {
  const int32_t id = install_system(16);
  const int32_t odd = install_font("odd", 5, 0);
  const uint64_t before = hl::frame_hash();
  for (const int32_t font : {0, id, odd, 500, -3}) {
    set_text_style(font, 0, 4);
    for (const char* text : {"", static_cast<const char*>(nullptr)}) {
      draw_text(10, 10, text);
      draw_bold_text(10, 10, text);
      EXPECT_EQ(text_width(text), 0) << font;
      EXPECT_EQ(bold_text_width(text), 0) << font;
    }
  }
  EXPECT_EQ(hl::frame_hash(), before);
  EXPECT_EQ(ink().empty(), true);
  set_text_style(odd, 0, 4);
  draw_text(10, 10, "x");
  EXPECT_EQ(text_width("x"), 0) << "a type other than 0, 1, 2";
  EXPECT_EQ(text_height(), 0);
  EXPECT_TRUE(ink().empty());
}

TEST_F(Text, StrokeTextUsesThePenAndStaysInsideItsWidth) {
  set_text_style(0, 0, 4);
  set_colour(12);
  const int32_t width = text_width("Hello, World");
  draw_text(20, 30, "Hello, World");
  const Box b = ink();
  EXPECT_GE(b.left, 20);
  EXPECT_LE(b.right, 20 + width);
  EXPECT_GE(b.width(), width - 6) << "the glyphs' side bearings";
  EXPECT_GE(b.top, 30) << "top justification";
  EXPECT_LE(b.bottom, 30 + text_height());
  bool red = false;
  for (int32_t x = b.left; x <= b.right && !red; ++x) {
    for (int32_t y = b.top; y <= b.bottom && !red; ++y) red = back(x, y) == rgb(255, 0, 0);
  }
  EXPECT_TRUE(red) << "drawn in the pen's colour";

  clear();
  draw_bold_text(20, 30, "l");
  const Box bold = ink();
  clear();
  draw_text(20, 30, "l");
  const Box plain = ink();
  EXPECT_EQ(bold.width(), plain.width() + 1) << "drawn again one pixel on";
  EXPECT_EQ(bold_text_width("l"), text_width("l") + 1);

  clear();
  set_text_justification(0, 0);
  draw_text(20, 100, "Hxg");
  const Box baseline = ink();
  EXPECT_EQ(baseline.top, 100 - 11) << "bottom justification: the baseline on the point";
  EXPECT_EQ(baseline.bottom, 100 + 4);
}

TEST_F(Text, NamedStrokeFacesAndTheirFallback) {
  const int32_t triplex = install_font("ROWMANT", kFontStrokeNamed, 0);
  const int32_t unknown = install_font("no such strokes", kFontStrokeNamed, 0);
  const int32_t zero = install_font("anything", kFontStroke, 0);
  set_text_style(0, 0, 4);
  const int32_t base = text_width("Lumra");
  draw_text(10, 10, "Lumra");
  const uint64_t font0 = hl::frame_hash();
  set_text_style(unknown, 0, 4);
  clear();
  draw_text(10, 10, "Lumra");
  EXPECT_EQ(hl::frame_hash(), font0) << "an unknown face draws font 0's strokes";
  set_text_style(triplex, 0, 4);
  EXPECT_NE(text_width("Lumra"), base);
  set_text_style(zero, 0, 4);
  draw_text(10, 10, "x");
  EXPECT_EQ(get_text_settings().font, 0) << "a type-0 entry sets the font number to 0";
}

TEST_F(Text, StrokeFontZeroCoversItsCharacters) {
  const StrokeFace& f = stroke_face_default();
  for (int c = 33; c < 127; ++c) EXPECT_GT(f.glyphs[c].count, 0) << c;
  for (int c = 0; c < 32; ++c) EXPECT_EQ(f.glyphs[c].advance + f.glyphs[c].count, 0) << c;
  const StrokeGlyph& question = f.glyphs[static_cast<uint8_t>('?')];
  for (const uint8_t c : {158, 246, 241, 248, 250, 230}) {
    EXPECT_GT(f.glyphs[c].count, 0) << int{c};
    EXPECT_NE(f.glyphs[c].first, question.first) << "its own glyph: " << int{c};
  }
  EXPECT_EQ(f.glyphs[200].first, question.first) << "others draw '?'";
  EXPECT_STREQ(stroke_face("Futural").name, "futural");
  EXPECT_STREQ(stroke_face(nullptr).name, "futural");
}

TEST_F(Text, ViewportMovesTextAndTheClipHoldsIt) {
  set_viewport(100, 50, 300, 200);
  set_text_justification(0, 2);
  draw_text(0, 0, "Lumra");
  const Box b = ink();
  EXPECT_GE(b.left, 100);
  EXPECT_GE(b.top, 50);
  clear();
  set_viewport(0, 0, 319, 239);
  const int32_t id = install_system(40);
  set_text_style(id, 0, 4);
  set_clip(1, 0, 0, 60, 240, 0, nullptr);
  draw_text(20, 20, "Lumra Lumra");
  EXPECT_LE(ink().right, 59);
  set_clip(0, 0, 0, 0, 0, 0, nullptr);
  draw_text(-1000000, -1000000, "far away");
  draw_text(2000000000, 2000000000, "far away");
}

TEST_F(Text, LargeGlyphsAreDrawnWithoutBeingKept) {
  const int32_t id = install_system(200);
  set_text_style(id, 0, 4);
  draw_text(10, 10, "W.");
  const uint64_t first = hl::frame_hash();
  const SystemFont* f = current_system_font();
  ASSERT_NE(f, nullptr);
  const GlyphImage& w = f->glyphs[static_cast<uint8_t>('W')];
  EXPECT_GT(static_cast<size_t>(w.width) * static_cast<size_t>(w.rows), kMaxKeptGlyphBytes);
  EXPECT_FALSE(w.kept);
  EXPECT_EQ(w.coverage, nullptr);
  EXPECT_TRUE(f->glyphs[static_cast<uint8_t>('.')].kept) << "a small glyph of the same font is kept";
  EXPECT_GT(ink().height(), 100);
  clear();
  draw_text(10, 10, "W.");
  EXPECT_EQ(hl::frame_hash(), first) << "rendered again, the same";
  EXPECT_EQ(install_font(kFace, kFontSystem, 5000), 0) << "a font of more than 1,024 pixels is refused";
}

TEST(FractionMarkup, Parsing) {
  struct Case {
    const char* text;
    bool found;
    size_t mark, numerator_length, denominator_length;
  };
  const Case cases[] = {
      {"\x14" "1/2", true, 0, 1, 1},
      {"12\x14" "12/345 m", true, 2, 2, 3},
      {"\x14" "0/2", false, 0, 0, 0},
      {"\x14" "2/2", false, 0, 0, 0},
      {"\x14" "3/2", false, 0, 0, 0},
      {"\x14" "1/", false, 0, 0, 0},
      {"\x14" "/2", false, 0, 0, 0},
      {"\x14" "1-2", false, 0, 0, 0},
      {"\x14" "3/2 \x14" "1/4", true, 5, 1, 1},
      {"\x14" "99999999999999999999/999999999999999999999", false, 0, 0, 0},
      {"\x14" "1/99999999999999999999", true, 0, 1, 20},
      {"1/2", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Fraction f{};
    const bool found = find_fraction(c.text, 0, std::strlen(c.text), &f);
    EXPECT_EQ(found, c.found) << c.text;
    if (!found || !c.found) continue;
    EXPECT_EQ(f.mark, c.mark) << c.text;
    EXPECT_EQ(f.numerator, c.mark + 1);
    EXPECT_EQ(f.numerator_length, c.numerator_length) << c.text;
    EXPECT_EQ(f.denominator, c.mark + 2 + c.numerator_length);
    EXPECT_EQ(f.denominator_length, c.denominator_length) << c.text;
    EXPECT_EQ(f.end, f.denominator + f.denominator_length);
  }
  Fraction f{};
  EXPECT_FALSE(find_fraction("\x14" "1/2", 0, 3, &f)) << "the length bounds the text";
}

TEST(PreparedTextTest, ShortTextsNeedNoHeap) {
  const std::string short_text = std::string(127, 'a') + "\x82";
  const base::HeapStats before = base::heap_stats(base::heap_current());
  PreparedText p;
  ASSERT_TRUE(prepare_text(&p, short_text.c_str(), short_text.size()));
  EXPECT_EQ(base::heap_stats(base::heap_current()).blocks_in_use, before.blocks_in_use) << "128 characters: no heap";
  EXPECT_EQ(p.data, p.local);
  EXPECT_EQ(p.length, 128u);
  EXPECT_EQ(p.data[127], '\xE9') << "OEM converted to Windows";
  const std::string long_text = std::string(129, 'b');
  ASSERT_TRUE(prepare_text(&p, long_text.c_str(), long_text.size()));
  EXPECT_NE(p.data, p.local);
  EXPECT_EQ(p.length, 129u);
  ASSERT_TRUE(prepare_text(&p, "a\x01" "b\x14" "c\x1F", 6));
  EXPECT_EQ(std::string(p.data, p.length), "abc") << "characters below 32 removed";
}

// Stroke text in every direction and justification, bold, sized, clipped: a change detector
// whose behaviours the tests above check one by one.
void scene_stroke_text() {
  set_colour(15);
  draw_text(4, 4, "Lumra 0123456789 !?#%&");
  set_text_style(0, 0, 1);
  draw_text(4, 24, "size 1: abcdefghijklmnopqrstuvwxyz");
  set_text_style(0, 0, 7);
  set_colour(14);
  draw_bold_text(4, 40, "Bold x2");
  set_text_style(0, 1, 4);
  set_colour(10);
  draw_text(300, 230, "upwards");
  set_text_style(0, 0, 0);
  set_user_char_size(3, 2, 1, 1);
  set_text_justification(1, 1);
  set_colour(11);
  draw_text(150, 120, "\x9E \xF6 \xF1 \xF8 \xE6 \xFA \xC8");
  set_user_char_size(1, 1, 1, 1);
  set_text_justification(2, 0);
  set_line_style(kStyleSolid, 3);
  set_colour(13);
  draw_text(290, 200, "Thick");
  set_line_style(kStyleSolid, 1);
}

TEST_F(Text, GoldenFrames) {
  struct Golden {
    const char* name;
    void (*scene)();
    uint64_t hash;
  };
  const Golden table[] = {
      {"stroke text", scene_stroke_text, 0xd54d5ad38d5b04f0ull},
  };
  const bool print = std::getenv("LUMRA_PRINT_GOLDEN") != nullptr;
  for (const Golden& g : table) {
    clear();
    set_text_justification(0, 2);
    g.scene();
    const uint64_t hash = hl::frame_hash();
    if (const char* folder = std::getenv("LUMRA_GOLDEN_DUMP")) {
      testing::write_frame_ppm(std::string(folder) + "/" + g.name + ".ppm");
    }
    if (print) std::printf("      {\"%s\", ..., 0x%016llxull},\n", g.name, static_cast<unsigned long long>(hash));
    EXPECT_EQ(hash, g.hash) << g.name;
  }
}

}  // namespace
}  // namespace lumra::graphics
