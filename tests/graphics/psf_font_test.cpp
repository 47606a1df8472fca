// PSF font reading: tiny inline fonts of both versions, malformed ones refused, and the Debian
// console font the tooltips use.
#include "framework/graphics/psf_font.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/base/heap.h"

namespace lumra::graphics {
namespace {

// PSF2, 2 glyphs of 3 x 2 pixels (one byte per row), with a table: glyph 0 = 'A' and U+00E9,
// glyph 1 = '?' then a sequence (0xFE 'e' U+0301) that must not map 'e'.
std::vector<uint8_t> psf2_font() {
  return {
      0x72, 0xB5, 0x4A, 0x86,  // magic
      0, 0, 0, 0,              // version
      32, 0, 0, 0,             // header size
      1, 0, 0, 0,              // flags: has a table
      2, 0, 0, 0,              // glyph count
      2, 0, 0, 0,              // bytes per glyph
      2, 0, 0, 0,              // height
      3, 0, 0, 0,              // width
      0xA0, 0x40,              // glyph 0: X.X / .X.
      0xE0, 0x00,              // glyph 1: XXX / ...
      'A', 0xC3, 0xA9, 0xFF,   // glyph 0's code points
      '?', 0xFE, 'e', 0xCC, 0x81, 0xFF,
  };
}

// PSF1, 256 glyphs of 8 x 1, no table: the glyph index is the code point.
std::vector<uint8_t> psf1_font() {
  std::vector<uint8_t> f = {0x36, 0x04, 0x00, 1};
  for (int i = 0; i < 256; ++i) f.push_back(static_cast<uint8_t>(i));
  return f;
}

TEST(PsfFont, ReadsVersionTwoWithItsTable) {
  const std::vector<uint8_t> data = psf2_font();
  PsfFont font{};
  ASSERT_TRUE(psf_parse(&font, data.data(), data.size()));
  EXPECT_EQ(font.width, 3u);
  EXPECT_EQ(font.height, 2u);
  EXPECT_EQ(psf_glyph(&font, 'A'), 0);
  EXPECT_EQ(psf_glyph(&font, 0xE9), 0);
  EXPECT_EQ(psf_glyph(&font, '?'), 1);
  EXPECT_EQ(psf_glyph(&font, 'e'), 1) << "unmapped: the '?' glyph";
  EXPECT_TRUE(psf_pixel(&font, 0, 0, 0));
  EXPECT_FALSE(psf_pixel(&font, 0, 1, 0));
  EXPECT_TRUE(psf_pixel(&font, 0, 1, 1));
  EXPECT_FALSE(psf_pixel(&font, 0, 3, 0)) << "outside the glyph";
  EXPECT_FALSE(psf_pixel(&font, 5, 0, 0));
  psf_release(&font);
}

TEST(PsfFont, ReadsVersionOneWithoutTable) {
  const std::vector<uint8_t> data = psf1_font();
  PsfFont font{};
  ASSERT_TRUE(psf_parse(&font, data.data(), data.size()));
  EXPECT_EQ(font.width, 8u);
  EXPECT_EQ(psf_glyph(&font, 0x41), 0x41);
  EXPECT_EQ(psf_glyph(&font, 0x2603), '?');
  EXPECT_TRUE(psf_pixel(&font, 0x41, 1, 0));  // 0x41 = .X.....X
  EXPECT_TRUE(psf_pixel(&font, 0x41, 7, 0));
  EXPECT_FALSE(psf_pixel(&font, 0x41, 0, 0));
  psf_release(&font);
}

TEST(PsfFont, MalformedFontsAreRefused) {
  struct Case {
    const char* name;
    size_t offset;  // byte to change in the PSF2 font, or the length to cut it to
    int value;      // -1: cut
  };
  const Case cases[] = {
      {"bad magic", 0, 0x00},
      {"header size past the end", 8, 0xF0},
      {"header size below 32", 8, 16},
      {"no glyphs", 16, 0},
      {"too many glyphs", 18, 0x10},
      {"glyph bytes too small for the size", 20, 1},
      {"zero width", 28, 0},
      {"width past the limit", 28, 65},
      {"height past the limit", 24, 65},
      {"cut in the header", 20, -1},
      {"cut in the glyphs", 34, -1},
      {"cut in the table", 40, -1},
      {"malformed UTF-8 in the table", 37, 0x80},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> data = psf2_font();
    if (c.value < 0) {
      data.resize(c.offset);
    } else {
      data[c.offset] = static_cast<uint8_t>(c.value);
    }
    PsfFont font{};
    EXPECT_FALSE(psf_parse(&font, data.data(), data.size())) << c.name;
    EXPECT_EQ(font.glyphs, nullptr) << c.name;
  }
  const size_t before = base::heap_stats(base::heap_current()).blocks_in_use;
  std::vector<uint8_t> psf1 = psf1_font();
  psf1.resize(100);
  PsfFont font{};
  EXPECT_FALSE(psf_parse(&font, psf1.data(), psf1.size())) << "PSF1 glyphs cut short";
  EXPECT_EQ(base::heap_stats(base::heap_current()).blocks_in_use, before) << "nothing kept";
}

TEST(PsfFont, LoadsTheConsoleFontTheTooltipsUse) {
  PsfFont font{};
  ASSERT_TRUE(psf_load_file(&font, "/usr/share/consolefonts/Uni2-Terminus12x6.psf.gz"));
  EXPECT_EQ(font.width, 6u);
  EXPECT_EQ(font.height, 12u);
  EXPECT_NE(psf_glyph(&font, 0xE9), psf_glyph(&font, '?')) << "Latin-1 letters are there";
  EXPECT_NE(psf_glyph(&font, 0x20AC), psf_glyph(&font, '?')) << "so is the euro sign";
  psf_release(&font);
  EXPECT_FALSE(psf_load_file(&font, "/nonexistent/font.psf.gz"));
}

}  // namespace
}  // namespace lumra::graphics
