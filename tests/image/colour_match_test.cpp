// Colour matching at each number of colours, checked at its boundaries: the 12,751 brightness of
// black and white, the four grays, the gray ramp (with 16 turned to 0), exact standard colours,
// the cube (with 32 turned to 0), 15- and 16-bit packing; then every dither kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "framework/image/colour_match.h"
#include "framework/image/image.h"

namespace lumra::image {
namespace {

constexpr uint32_t kWhite = colour_value(255, 255, 255);
uint32_t gray(uint32_t v) { return colour_value(v, v, v); }

// Some colour whose brightness is exactly `target`.
uint32_t with_brightness(int32_t target) {
  for (int32_t g = 0; g < 256; ++g) {
    for (int32_t r = 0; r < 256; ++r) {
      const int32_t rest = target - 59 * g - 30 * r;
      if (rest >= 0 && rest % 11 == 0 && rest / 11 < 256) {
        return colour_value(static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(rest / 11));
      }
    }
  }
  ADD_FAILURE() << "no colour of brightness " << target;
  return 0;
}

TEST(ColourMatch, Brightness) {
  EXPECT_EQ(brightness(kWhite), kBrightnessWhite);
  EXPECT_EQ(brightness(colour_value(2, 200, 81)), 12751);
  EXPECT_EQ(brightness(0xFF000000u), 0) << "the top byte is not a colour";
  EXPECT_EQ(brightness8(kWhite), 255);
  for (int32_t l : {0, 11, 6375, 6376, 12750, 12751, 25489}) EXPECT_EQ(brightness(with_brightness(l)), l);
}

TEST(ColourMatch, NearestColour) {
  struct Case {
    const char* name;
    uint32_t colour;
    int32_t colours;
    int32_t expected;
  };
  const Case cases[] = {
      {"black at once", 0xFF000000u, 256, 0},
      {"2: 12750 is black", colour_value(28, 200, 10), 2, 0},
      {"2: 12751 is white", colour_value(2, 200, 81), 2, 15},
      {"1 counts as 2", colour_value(2, 200, 81), 1, 15},
      {"16: red", colour_value(255, 0, 0), 16, 12},
      {"16: dark red", colour_value(128, 0, 0), 16, 4},
      {"16: light gray", gray(200), 15, 7},
      {"16: tie takes the lower index", gray(64), 16, 0},
      {"16: blue 190", colour_value(0, 0, 190), 16, 1},
      {"16: green", colour_value(0, 200, 0), 16, 2},
      {"256: gray ramp", gray(100), 256, 21},
      {"256: darkest ramp step becomes 0", gray(16), 256, 0},
      {"256: next ramp step", gray(20), 256, 17},
      {"256: white", kWhite, 255, 31},
      {"256: exact standard colour", colour_value(0, 0, 190), 256, 1},
      {"256: exact magenta", colour_value(255, 0, 255), 256, 13},
      {"256: cube", colour_value(255, 128, 0), 256, 224},
      {"256: cube step", colour_value(0, 0, 60), 256, 33},
      {"256: cube origin becomes 0", colour_value(0, 0, 40), 256, 0},
      {"15-bit", colour_value(255, 128, 8), 32767, 31 << 10 | 16 << 5 | 1},
      {"15-bit 32768", colour_value(255, 128, 8), 32768, 31 << 10 | 16 << 5 | 1},
      {"16-bit", colour_value(255, 128, 8), 65535, 31 << 11 | 32 << 5 | 1},
      {"0 is the window's count (16-bit)", colour_value(255, 128, 8), 0, 31 << 11 | 32 << 5 | 1},
      {"other counts give 0", colour_value(255, 128, 8), 100, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(nearest_colour(c.colour, c.colours), c.expected) << c.name;
}

TEST(ColourMatch, NearestGray) {
  struct Case {
    int32_t brightness;
    int32_t colours;
    int32_t expected;
  };
  const Case cases[] = {
      {12750, 2, 0},   {12751, 2, 15},  {0, 16, 0},       {6375, 16, 0},     {6376, 16, 8},    {12751, 16, 8},
      {12752, 16, 7},  {19127, 16, 7},  {19128, 16, 15},  {25500, 16, 15},   {0, 256, 16},     {1593, 256, 16},
      {1594, 256, 17}, {25500, 256, 31}, {25500, 32768, 0x7FFF}, {796, 32767, 0}, {797, 32767, 1 | 1 << 5 | 1 << 10},
      {25500, 65535, 0xFFFF}, {398, 65535, 0}, {399, 65535, 1 << 5}, {798, 0, 1 | 2 << 5 | 1 << 11}, {25500, 3, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nearest_gray(with_brightness(c.brightness), c.colours), c.expected) << c.brightness << " " << c.colours;
  }
}

TEST(ColourMatch, BayerMatrix) {
  const uint8_t first_row[8] = {0, 32, 8, 40, 2, 34, 10, 42};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(kBayer[i], first_row[i]);
  std::set<int> values(kBayer, kBayer + 64);
  EXPECT_EQ(values.size(), 64u);
  EXPECT_EQ(*values.rbegin(), 63);
  EXPECT_EQ(bayer_index(9, 10), 2 * 8 + 1);
  EXPECT_EQ(bayer_index(-1, -1), 63);
}

int count_of(const int32_t pattern[64], int32_t value) { return static_cast<int>(std::count(pattern, pattern + 64, value)); }

TEST(ColourMatch, DitherKinds) {
  struct Case {
    const char* name;
    uint32_t colour;
    int32_t kind, colours;
    int32_t value;  // the entries counted
    int count;      // how many of the 64 entries hold it
  };
  const Case cases[] = {
      {"none", kWhite, kDitherNone, 16, 0, 64},
      {"mono: half gray", gray(128), kDitherMono, 16, 15, 32},
      {"mono: white", kWhite, kDitherMono, 256, 15, 64},
      {"mono: black", 0, kDitherMono, 16, 0, 64},
      {"mono: 16-bit white", gray(128), kDitherMono, 65535, 0xFFFF, 32},
      {"mono: 15-bit white", gray(128), kDitherMono, 32768, 0x7FFF, 32},
      {"nearest gray everywhere", gray(100), kDitherNearestGray, 256, 22, 64},
      {"gray dither: l 24 between 0 and 8", with_brightness(24 * 132), kDitherGray, 16, 8, 48},
      {"gray dither: l 32 is all 8", with_brightness(32 * 132), kDitherGray, 16, 8, 64},
      {"gray dither: l 80", with_brightness(80 * 132), kDitherGray, 16, 7, 32},
      {"gray dither: l 128 is all 7", with_brightness(128 * 132), kDitherGray, 16, 7, 64},
      {"gray dither: l 191", with_brightness(191 * 132), kDitherGray, 16, 15, 63},
      {"gray dither: l 192 is white", with_brightness(192 * 132), kDitherGray, 16, 15, 64},
      {"gray dither at 256: between ramp steps", gray(8), kDitherGray, 256, 17, 30},
      {"nearest colour everywhere", colour_value(255, 128, 0), kDitherNearest, 256, 224, 64},
      {"a gray turns nearest into nearest gray", gray(100), kDitherNearest, 256, 22, 64},
      {"colour dither: pure cube colour", colour_value(255, 0, 0), kDitherColour, 256, 212, 64},
      {"colour dither: red remainder 25", colour_value(25, 0, 0), kDitherColour, 256, 68, 30},
      {"colour dither: the rest stays at the base", colour_value(25, 0, 0), kDitherColour, 256, 32, 34},
      {"colour dither: blue remainder", colour_value(0, 0, 102 + 17), kDitherColour, 256, 32 + 2 + 1, 21},
      {"a gray turns colour dither into gray dither", gray(106), kDitherColour, 16, 7, 32},
      {"colour dither at 16 colours matches", colour_value(255, 0, 0), kDitherColour, 16, 12, 64},
      {"colour dither 16-bit: low bits 4 of 8", colour_value(4, 0, 0), kDitherColour, 65535, 1 << 11, 31},
      {"colour dither 16-bit: top stays in range", colour_value(255, 255, 255), kDitherColour, 65535, 0xFFFF, 64},
  };
  for (const Case& c : cases) {
    int32_t pattern[64];
    std::fill(pattern, pattern + 64, -1);
    dither_pattern(pattern, c.colour, c.kind, c.colours);
    EXPECT_EQ(count_of(pattern, c.value), c.count) << c.name;
    for (int i = 0; i < 64; ++i) EXPECT_EQ(dither_entry(c.colour, c.kind, c.colours, i), pattern[i]) << c.name << " " << i;
  }
  int32_t untouched[64];
  std::fill(untouched, untouched + 64, -1);
  dither_pattern(untouched, kWhite, kDitherKeep, 256);
  EXPECT_EQ(count_of(untouched, -1), 64) << "kind 6 leaves the pattern alone";
}

TEST(ColourMatch, MonoDitherFollowsTheThresholds) {
  // L / 394 = v: exactly the entries whose threshold is below v are white.
  for (int32_t v : {0, 1, 17, 40, 63, 64}) {
    int32_t pattern[64];
    dither_pattern(pattern, with_brightness(v * 394), kDitherMono, 16);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(pattern[i], kBayer[i] < v ? 15 : 0) << v << " " << i;
  }
}

TEST(ColourMatch, NumberColours) {
  EXPECT_EQ(number_colour(1, 256), colour_value(0, 0, 190));
  EXPECT_EQ(number_colour(0xFFFF, 65535), kWhite);
  EXPECT_EQ(number_colour(0x7FFF, 32768), kWhite);
  EXPECT_EQ(number_colour(300, 0), colour_value(0, 36, 98));
  EXPECT_EQ(white_number(2), 15);
  EXPECT_EQ(white_number(0), 0xFFFF);
  EXPECT_EQ(white_number(7), 0);
}

}  // namespace
}  // namespace lumra::image
