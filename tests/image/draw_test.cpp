// Drawing images on the headless backend: derived sizes and source rectangles, what draws nothing,
// the fast path's exact colours, enlarging without averaging and shrinking with it, every
// transparency mode on every format on both paths, the colour modes and caches, pixel filters,
// bands, the work buffer, and golden hashes of whole frames.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "framework/graphics/clip.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/draw_state.h"
#include "framework/graphics/pixel_filter.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/viewport.h"
#include "framework/image/colour_match.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"
#include "framework/image/resample.h"
#include "tests/platform/headless_session.h"

namespace lumra::image {
namespace {

namespace hl = platform::headless;
using graphics::g_graphics;

constexpr uint32_t kWhite = colour_value(255, 255, 255);
constexpr uint32_t kBackground = colour_value(100, 100, 100);  // brightness 10,000
uint32_t gray(uint32_t v) { return colour_value(v, v, v); }

class ImageDraw : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    testing::HeadlessSession::SetUp();
    open_drawing_window();
  }
  void TearDown() override {
    for (Image& i : images_) image_free(&i);
    testing::HeadlessSession::TearDown();
  }
  static void fill_background(uint32_t colour = kBackground) { graphics::fill_rectangle_rgb(0, 0, colour, 320, 240); }
  // An image the fixture frees.
  Image* make(int32_t format, int32_t w, int32_t h, int32_t palette_count = 0, const uint32_t* palette = nullptr) {
    images_.push_back(Image{});
    Image* img = &images_.back();
    EXPECT_TRUE(image_allocate(img, format, w, h, palette_count, palette, 0, 0));
    if (img->pixels) std::memset(img->pixels, 0, static_cast<size_t>(img->stride) * img->height);
    return img;
  }
  Image* make_rgb(int32_t w, int32_t h, const std::vector<uint32_t>& colours) {
    Image* img = make(Rgb32, w, h);
    for (int32_t i = 0; i < w * h; ++i) image_set_pixel(img, i % w, i / w, colours[static_cast<size_t>(i)]);
    return img;
  }

 private:
  std::deque<Image> images_{};  // stable addresses as images are added
};

int32_t pass_through(int32_t, int32_t, int32_t colour) { return colour; }
// Installed only to send a true-colour drawing down the slow path: it takes no pixel away, as it
// never answers 65535 (which leaves a true-colour pixel transparent).
int32_t keeps_every_pixel(int32_t, int32_t, int32_t colour) { return colour == 65535 ? 65534 : colour; }

TEST_F(ImageDraw, DerivedSizesAndSourceRectangles) {
  struct Case {
    const char* name;
    int32_t dw, dh, sx, sy, sw, sh;
    int32_t width, height;
  };
  const Case cases[] = {
      {"natural size", 0, 0, 0, 0, 0, 0, 400, 100},
      {"200 wide is 50 high", 200, 0, 0, 0, 0, 0, 200, 50},
      {"25 high is 100 wide", 0, 25, 0, 0, 0, 0, 100, 25},
      {"a height of 0 becomes 1", 3, 0, 0, 0, 0, 0, 3, 1},
      {"both given", 7, 9, 0, 0, 0, 0, 7, 9},
      {"source rectangle at its own size", 0, 0, 10, 10, 100, 50, 100, 50},
      {"one source side 0: no rectangle", 0, 0, 10, 10, 100, 0, 400, 100},
      {"overlong source cut", 0, 0, 350, 90, 100, 50, 50, 10},
      {"negative source position clamped", 0, 0, -5, -5, 20, 20, 20, 20},
      {"aspect from the image, not the source", 40, 0, 0, 0, 10, 10, 40, 10},
  };
  Image* img = make(Gray8, 400, 100);
  for (const Case& c : cases) {
    ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest, c.dw, c.dh, c.sx, c.sy, c.sw, c.sh)) << c.name;
    const DrawReport r = last_draw_report();
    EXPECT_EQ(r.draw_width, c.width) << c.name;
    EXPECT_EQ(r.draw_height, c.height) << c.name;
  }
}

TEST_F(ImageDraw, WhatDrawsNothing) {
  Image* img = make(Gray8, 4, 4);
  image_fill(img, 255);
  Image* empty = make(Gray8, 0, 4);
  struct Case {
    const char* name;
    Image* img;
    int32_t mode, dw, dh, sx;
  };
  const Case cases[] = {
      {"colour mode 0", img, 0, 0, 0, 0},         {"colour mode 7", img, 7, 0, 0, 0},
      {"colour mode -1", img, -1, 0, 0, 0},       {"zero-sized image", empty, 4, 0, 0, 0},
      {"negative width", img, 4, -1, 0, 0},       {"negative height", img, 4, 2, -2, 0},
      {"source outside the image", img, 4, 0, 0, 4},
  };
  fill_background(0);
  const uint64_t before = hl::frame_hash();
  for (const Case& c : cases) {
    EXPECT_FALSE(image_draw(c.img, 0, 0, c.mode, c.dw, c.dh, c.sx, 0, c.sx ? 1 : 0, c.sx ? 1 : 0)) << c.name;
    EXPECT_EQ(last_draw_report().path, DrawPath::kNone) << c.name;
  }
  EXPECT_EQ(hl::frame_hash(), before);
  EXPECT_EQ(back(0, 0), 0u);
}

TEST_F(ImageDraw, NoWindowNoDrawing) {
  graphics::graphics_reset();
  Image* img = make(Gray8, 2, 2);
  EXPECT_FALSE(image_draw(img, 0, 0, kDrawNearest));
}

TEST_F(ImageDraw, FastPathShowsTheImagesOwnColours) {
  const uint32_t palette[3] = {colour_value(1, 2, 3), colour_value(250, 128, 7), colour_value(9, 99, 199) | 0xFF000000u};
  Image* img = make(Indexed8, 3, 2, 3, palette);
  for (int32_t i = 0; i < 6; ++i) image_set_pixel(img, i % 3, i / 3, static_cast<uint32_t>(i % 3));
  ASSERT_TRUE(image_draw(img, 5, 7, kDrawMono));  // the colour mode does not matter here
  EXPECT_EQ(last_draw_report().path, DrawPath::kFast);
  for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(back(5 + i % 3, 7 + i / 3), palette[i % 3] & 0xFFFFFF) << i;
  EXPECT_EQ(hl::frame_pixel(6, 7), 0xFA8007u) << "presented at once";
  EXPECT_EQ(back(4, 7), 0u);
  EXPECT_EQ(back(8, 7), 0u);
}

TEST_F(ImageDraw, ImagesWithoutAPaletteShowTheWindowsColours) {
  struct Case {
    const char* name;
    int32_t format;
    std::vector<uint32_t> values;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {"Mono1: black and white", Mono1, {0, 1}, {0, kWhite}},
      {"Gray4: level x 255 / 15", Gray4, {0, 5, 15}, {0, gray(85), kWhite}},
      {"Gray8: the level", Gray8, {7, 200}, {gray(7), gray(200)}},
      {"Indexed4: the 16 standard colours", Indexed4, {1, 8, 13}, {colour_value(0, 0, 190), gray(129), colour_value(255, 0, 255)}},
      // 200 is cube cell 168 = 4 x 36 + 4 x 6: red and green 50 of 63, 202; 20 is ramp step 4 (17: 68).
      {"Indexed8: the 256 colours", Indexed8, {12, 200, 20, 250}, {colour_value(255, 0, 0), colour_value(202, 202, 0), gray(68), 0}},
  };
  for (const Case& c : cases) {
    const auto n = static_cast<int32_t>(c.values.size());
    Image* img = make(c.format, n, 1);
    for (int32_t x = 0; x < n; ++x) image_set_pixel(img, x, 0, c.values[static_cast<size_t>(x)]);
    fill_background();
    // Twice as large: the fast path.
    ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest, 2 * n, 2)) << c.name;
    for (int32_t x = 0; x < 2 * n; ++x) {
      EXPECT_EQ(back(x, 1), c.expected[static_cast<size_t>(x / 2)]) << c.name << " pixel " << x;
    }
  }
}

TEST_F(ImageDraw, ViewportAndClip) {
  Image* img = make(Gray8, 10, 10);
  image_fill(img, 200);
  graphics::set_viewport(100, 50, 319, 239);
  graphics::set_clip(1, 104, 0, 100, 55, 0, nullptr);
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest));
  EXPECT_EQ(back(103, 52), 0u) << "left of the clip";
  EXPECT_EQ(back(104, 52), gray(200));
  EXPECT_EQ(back(109, 54), gray(200));
  EXPECT_EQ(back(109, 55), 0u) << "below the clip";
  graphics::set_clip(0, 0, 0, 0, 0, 0, nullptr);
  // Off every edge: nothing is drawn and nothing breaks.
  ASSERT_TRUE(image_draw(img, -2000000000, 2000000000, kDrawNearest, 2000000000, 2000000000));
  ASSERT_TRUE(image_draw(img, 2000000000, -2000000000, kDrawNearest, 0, 2000000000));
}

TEST_F(ImageDraw, PolygonClipThroughBothPaths) {
  const graphics::Point triangle[] = {{0, 0}, {40, 0}, {0, 40}};
  graphics::set_clip(1, 0, 0, 100, 100, 3, triangle);
  Image* img = make_rgb(1, 1, {kWhite});
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest, 40, 40));
  EXPECT_EQ(back(5, 5), kWhite);
  EXPECT_EQ(back(35, 35), 0u);
  graphics::add_pixel_filter(keeps_every_pixel);
  fill_background(0);
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawTrueColour, 40, 40));
  EXPECT_EQ(last_draw_report().path, DrawPath::kSlow);
  EXPECT_EQ(back(5, 5), kWhite);
  EXPECT_EQ(back(35, 35), 0u);
  graphics::remove_pixel_filter(keeps_every_pixel);
}

TEST_F(ImageDraw, EnlargingNeverAverages) {
  const std::vector<uint32_t> colours = {colour_value(255, 0, 0), colour_value(0, 255, 0), colour_value(0, 0, 255), kWhite};
  Image* img = make_rgb(2, 2, colours);
  for (bool filtered : {false, true}) {
    if (filtered) graphics::add_pixel_filter(keeps_every_pixel);
    fill_background(0);
    ASSERT_TRUE(image_draw(img, 10, 10, kDrawTrueColour, 6, 6));
    EXPECT_EQ(last_draw_report().path, filtered ? DrawPath::kSlow : DrawPath::kFast);
    for (int32_t y = 0; y < 6; ++y) {
      for (int32_t x = 0; x < 6; ++x) {
        EXPECT_EQ(back(10 + x, 10 + y), colours[static_cast<size_t>((y / 3) * 2 + x / 3)]) << x << "," << y;
      }
    }
    if (filtered) graphics::remove_pixel_filter(keeps_every_pixel);
  }
}

TEST_F(ImageDraw, ShrinkingAveragesUnlessFastStretch) {
  // 4 x 2: the left pair averages to (100, 50, 0), the right pair to (20, 40, 60) and (0, 0, 0).
  Image* img = make_rgb(4, 2,
                        {colour_value(200, 0, 0), colour_value(0, 100, 0), colour_value(40, 80, 120), colour_value(0, 0, 0),
                         colour_value(200, 0, 0), colour_value(0, 100, 0), colour_value(0, 0, 0), colour_value(40, 80, 120)});
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawTrueColour, 2, 1));
  EXPECT_EQ(last_draw_report().path, DrawPath::kSlow);
  EXPECT_EQ(back(0, 0), colour_value(100, 50, 0));
  EXPECT_EQ(back(1, 0), colour_value(20, 40, 60));
  fill_background(0);
  img->fastStretch = 1;
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawTrueColour, 2, 1));
  EXPECT_EQ(last_draw_report().path, DrawPath::kFast);
  EXPECT_EQ(back(0, 0), colour_value(0, 100, 0)) << "the pixel under the centre";
  EXPECT_EQ(back(1, 0), colour_value(40, 80, 120));
}

TEST_F(ImageDraw, UnevenShrinking) {
  // 3 -> 2 columns: columns 0 and 1 meet in x = 0, column 2 alone makes x = 1 (drawn as it is).
  Image* img = make_rgb(3, 1, {colour_value(10, 0, 0), colour_value(30, 0, 0), colour_value(77, 0, 0)});
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawTrueColour, 2, 1));
  EXPECT_EQ(back(0, 0), colour_value(20, 0, 0));
  EXPECT_EQ(back(1, 0), colour_value(77, 0, 0));
  // Shrinking only vertically does not average: each row's last source row shows.
  Image* tall = make_rgb(1, 4, {colour_value(1, 0, 0), colour_value(2, 0, 0), colour_value(3, 0, 0), colour_value(4, 0, 0)});
  ASSERT_TRUE(image_draw(tall, 5, 0, kDrawTrueColour, 1, 2));
  EXPECT_EQ(last_draw_report().path, DrawPath::kSlow);
  EXPECT_EQ(back(5, 0), colour_value(2, 0, 0));
  EXPECT_EQ(back(5, 1), colour_value(4, 0, 0));
}

// Four pixels per format, drawn at natural size over the background (brightness 10,000); '.' marks
// a pixel that must stay the background.
struct Subject {
  const char* name;
  int32_t format;
  std::vector<uint32_t> values;
  std::vector<uint32_t> palette;
  uint32_t transparent_index;  // for mode 4
  uint32_t key;                // Rgb32 mode 4
};

const Subject kSubjects[] = {
    {"Mono1", Mono1, {0, 1, 1, 0}, {}, 1, 0},
    {"Gray4", Gray4, {0, 5, 10, 15}, {}, 10, 0},
    {"Gray8", Gray8, {0, 60, 200, 255}, {}, 200, 0},
    {"Indexed4", Indexed4, {0, 1, 12, 15}, {}, 12, 0},
    {"Indexed8", Indexed8, {0, 1, 2, 3}, {colour_value(200, 0, 0), colour_value(0, 200, 0), colour_value(0, 0, 200), kWhite}, 2, 0},
    {"Rgb32", Rgb32, {0, colour_value(255, 0, 0), colour_value(0, 255, 0), kWhite}, {}, 0, colour_value(0, 255, 0)},
};

struct ModeCase {
  int32_t mode;
  const char* expected[6];  // by subject
};

// Mode 1's reference is the background under (x, y); mode 3's keyColour is gray 128 (12,800).
const ModeCase kModes[] = {
    {0, {"oooo", "oooo", "oooo", "oooo", "oooo", "oooo"}},
    {1, {"o..o", "oo..", "oo..", "ooo.", "o.o.", "oo.."}},
    {2, {".oo.", ".ooo", ".ooo", ".ooo", ".ooo", ".ooo"}},
    {3, {"o..o", "oo..", "oo..", "ooo.", "ooo.", "oo.."}},
    {4, {"o..o", "oo.o", "oo.o", "oo.o", "oo.o", "oo.o"}},
    {5, {"oooo", "oooo", "oooo", "oooo", "oooo", "oooo"}},
    {-1, {"oooo", "oooo", "oooo", "oooo", "oooo", "oooo"}},
};

TEST_F(ImageDraw, TransparencyModesOnEveryFormatAndBothPaths) {
  for (size_t s = 0; s < std::size(kSubjects); ++s) {
    const Subject& subject = kSubjects[s];
    Image* img = make(subject.format, 4, 1, static_cast<int32_t>(subject.palette.size()),
                      subject.palette.empty() ? nullptr : subject.palette.data());
    for (int32_t x = 0; x < 4; ++x) image_set_pixel(img, x, 0, subject.values[static_cast<size_t>(x)]);
    for (const ModeCase& m : kModes) {
      for (bool slow : {false, true}) {
        set_transparency_mode(img, m.mode);
        img->transparentIndex = subject.transparent_index;
        img->keyColour = m.mode == 3 ? gray(128) : subject.key;
        if (slow) graphics::add_pixel_filter(keeps_every_pixel);
        fill_background();
        ASSERT_TRUE(image_draw(img, 10, 10, kDrawTrueColour));
        if (slow) graphics::remove_pixel_filter(keeps_every_pixel);
        const std::string where = std::string(subject.name) + " mode " + std::to_string(m.mode) + (slow ? " slow" : " fast");
        EXPECT_EQ(last_draw_report().path, slow ? DrawPath::kSlow : DrawPath::kFast) << where;
        const bool masked = m.mode >= 1 && m.mode <= 4;
        for (int32_t x = 0; x < 4; ++x) {
          uint32_t raw = 0, colour = 0;
          image_get_pixel_colour(img, x, 0, &raw, &colour);
          // A masked Mono1 image is a stencil on both paths: its opaque pixels paint black.
          const uint32_t ink = masked && subject.format == Mono1 ? 0 : colour;
          const uint32_t expected = m.expected[s][x] == 'o' ? ink : kBackground;
          EXPECT_EQ(back(10 + x, 10), expected) << where << " pixel " << x;
        }
        EXPECT_EQ(back(14, 10), kBackground) << where;
      }
    }
  }
}

TEST_F(ImageDraw, ModeTwoAndOneRecordWhatTheyCompareWith) {
  Image* img = make(Gray8, 2, 1);
  image_set_pixel(img, 0, 0, 77);
  set_transparency_mode(img, 2);
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest));
  EXPECT_EQ(img->transparentIndex, 77u);
  Image* rgb = make_rgb(1, 1, {0x01020304});
  set_transparency_mode(rgb, 2);
  ASSERT_TRUE(image_draw(rgb, 0, 0, kDrawNearest));
  EXPECT_EQ(rgb->keyColour, 0x01020304u);
  fill_background(colour_value(1, 2, 3));
  set_transparency_mode(rgb, 1);
  ASSERT_TRUE(image_draw(rgb, 7, 8, kDrawNearest));
  EXPECT_EQ(rgb->keyColour, colour_value(1, 2, 3));
  // Outside the clip the window pixel reads as the invalid colour: a white reference.
  ASSERT_TRUE(image_draw(rgb, 400, 8, kDrawNearest));
  EXPECT_EQ(rgb->keyColour, graphics::kInvalidColour);
}

// Mono1 images with a transparency mode are stencils: only the mask is drawn, its opaque pixels
// black. On the fast path the mask is the pixel rows themselves (1 keeps the screen), inverted in
// modes 2 and 4 when transparentIndex is 0 and entry 0's blue is below 255; on the slow path the
// pixels are tested one by one like any image's. 'k' black, '.' the green background, 'r' and 'b'
// the palette's red and blue.
TEST_F(ImageDraw, MonoImagesWithAMaskAreStencils) {
  constexpr uint32_t kRed = colour_value(255, 0, 0), kBlue = colour_value(0, 0, 255), kGreen = colour_value(0, 255, 0);
  const std::vector<uint32_t> red_blue = {kRed, kBlue}, white_black = {kWhite, 0}, blue_white = {kBlue, kWhite};
  struct Case {
    const char* name;
    bool slow;
    int32_t mode;
    uint8_t bits;
    std::vector<uint32_t> palette;
    uint32_t transparent_index, key;
    const char* expected;
  };
  const Case cases[] = {
      {"fast 1: 1-pixels keep the screen", false, 1, 0xAA, {}, 0, 0, ".k.k.k.k"},
      {"fast 3, white key: 1-pixels keep the screen", false, 3, 0xAA, {}, 0, kWhite, ".k.k.k.k"},
      {"fast 2, top-left 1: not inverted", false, 2, 0xAA, {}, 0, 0, ".k.k.k.k"},
      {"fast 2, top-left 0, black entry 0: inverted", false, 2, 0x55, {}, 0, 0, ".k.k.k.k"},
      {"fast 4, index 0, red entry 0: inverted", false, 4, 0xAA, red_blue, 0, 0, "k.k.k.k."},
      {"fast 4, index 0, white entry 0: not inverted", false, 4, 0xAA, white_black, 0, 0, ".k.k.k.k"},
      {"fast 4, index 0, pure blue entry 0: not inverted", false, 4, 0xAA, blue_white, 0, 0, ".k.k.k.k"},
      {"fast 4, index 1: not inverted", false, 4, 0xAA, red_blue, 1, 0, ".k.k.k.k"},
      {"fast 4, index 0, no palette: inverted", false, 4, 0xAA, {}, 0, 0, "k.k.k.k."},
      {"slow 3, white key: nothing is brighter", true, 3, 0xAA, {}, 0, kWhite, "kkkkkkkk"},
      {"slow 4, index 0, white entry 0", true, 4, 0xAA, white_black, 0, 0, "k.k.k.k."},
      {"slow 1: white 1-pixels are brighter than green", true, 1, 0xAA, {}, 0, 0, ".k.k.k.k"},
      {"slow 0: filters alone keep the colours", true, 0, 0xAA, red_blue, 0, 0, "brbrbrbr"},
      {"fast 0: no mask, the colours", false, 0, 0xAA, red_blue, 0, 0, "brbrbrbr"},
  };
  for (const Case& c : cases) {
    Image* img = make(Mono1, 8, 1, static_cast<int32_t>(c.palette.size()), c.palette.empty() ? nullptr : c.palette.data());
    img->pixels[0] = c.bits;
    set_transparency_mode(img, c.mode);
    img->transparentIndex = c.transparent_index;
    img->keyColour = c.key;
    fill_background(kGreen);
    if (c.slow) graphics::add_pixel_filter(pass_through);
    ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest)) << c.name;
    if (c.slow) graphics::remove_pixel_filter(pass_through);
    EXPECT_EQ(last_draw_report().path, c.slow ? DrawPath::kSlow : DrawPath::kFast) << c.name;
    for (int32_t x = 0; x < 8; ++x) {
      const char e = c.expected[x];
      const uint32_t expected = e == 'k' ? 0 : e == 'r' ? kRed : e == 'b' ? kBlue : kGreen;
      EXPECT_EQ(back(x, 0), expected) << c.name << " pixel " << x;
    }
  }
  EXPECT_EQ(graphics::get_colour(), 7) << "Mono1 drawings select colour 7";
  Image* g = make(Gray8, 1, 1);
  ASSERT_TRUE(image_draw(g, 0, 0, kDrawNearest));
  EXPECT_EQ(graphics::get_colour(), 0);
}

TEST_F(ImageDraw, PaletteEntryZeroNeedNotBeBlack) {
  // Modes 1 and 3 make bright entries transparent: with a red entry 0 the opaque pixels stay red.
  const uint32_t palette[2] = {colour_value(200, 0, 0), kWhite};
  Image* img = make(Indexed4, 2, 1, 2, palette);
  image_set_pixel(img, 1, 0, 1);
  set_transparency_mode(img, 3);
  img->keyColour = gray(128);
  fill_background(colour_value(0, 0, 255));
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest));
  EXPECT_EQ(back(0, 0), colour_value(200, 0, 0));
  EXPECT_EQ(back(1, 0), colour_value(0, 0, 255));
}

// Colour numbers on the slow path: one colour per image, each destination pixel checked against
// the matching rule at its own position.
TEST_F(ImageDraw, ColourModesOnTheSlowPath) {
  const uint32_t c = colour_value(90, 160, 40);
  const uint32_t palette[1] = {c};
  Image* indexed = make(Indexed8, 16, 16, 1, palette);
  Image* rgb = make(Rgb32, 16, 16);
  image_fill_rgb(rgb, c);
  graphics::add_pixel_filter(pass_through);
  for (Image* img : {indexed, rgb}) {
    for (int32_t mode = kDrawMono; mode <= kDrawTrueColour; ++mode) {
      fill_background(0);
      ASSERT_TRUE(image_draw(img, 3, 5, mode));
      for (int32_t y = 5; y < 21; ++y) {
        for (int32_t x = 3; x < 19; ++x) {
          int32_t number = 0;
          const int32_t i = bayer_index(x, y);
          switch (mode) {
            case kDrawMono:
              number = img->format == Rgb32 ? (brightness8(c) * 64 / 255 > kBayer[i] ? 0xFFFF : 0)
                                            : dither_entry(c, kDitherMono, 0, i);
              break;
            case kDrawGray: number = nearest_gray(c, 0); break;
            case kDrawGrayDither: number = dither_entry(c, kDitherGray, 0, i); break;
            case kDrawNearest: number = nearest_colour(c, 0); break;
            case kDrawColourDither: number = dither_entry(c, kDitherColour, 0, i); break;
            default: break;
          }
          const uint32_t expected = mode == kDrawTrueColour ? c : number_colour(number, 0);
          ASSERT_EQ(back(x, y), expected) << "format " << int(img->format) << " mode " << mode << " at " << x << "," << y;
        }
      }
      EXPECT_EQ(img->ditherCache, nullptr);
      EXPECT_EQ(img->colourCache, nullptr);
    }
  }
  graphics::remove_pixel_filter(pass_through);
}

TEST_F(ImageDraw, AveragedColoursByMode) {
  // A uniform 32 x 32 picture halved: every average is the colour itself.
  const uint32_t c = colour_value(90, 160, 40);
  Image* img = make(Rgb32, 32, 32);
  image_fill_rgb(img, c);
  // Worked out by hand for brightness 12,580 in the window's 16-bit colours: mode 1 is white where
  // 12,580 / 394 = 31 exceeds the Bayer value (first row 0, 32, 8, 40, 2, 34, 10, 42); mode 2 the
  // gray 12,580 / 399 = 31, that is 15, 31, 15 in 5-6-5; mode 4 the 5-6-5 value 11, 40, 5.
  struct Literal {
    int32_t mode;
    uint32_t row0[8];
  } const literals[] = {
      {kDrawMono, {kWhite, 0, kWhite, 0, kWhite, 0, kWhite, 0}},
      {kDrawGray, {colour_value(123, 125, 123), 0, 0, 0, 0, 0, 0, 0}},
      {kDrawNearest, {colour_value(90, 161, 41), 0, 0, 0, 0, 0, 0, 0}},
      {kDrawTrueColour, {c, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Literal& l : literals) {
    fill_background(0);
    ASSERT_TRUE(image_draw(img, 0, 0, l.mode, 16, 16));
    for (int32_t x = 0; x < 8; ++x) {
      const uint32_t expected = l.mode == kDrawMono ? l.row0[x] : l.row0[0];
      EXPECT_EQ(back(x, 0), expected) << "mode " << l.mode << " pixel " << x;
    }
  }
  for (int32_t mode = kDrawMono; mode <= kDrawTrueColour; ++mode) {
    fill_background(0);
    ASSERT_TRUE(image_draw(img, 0, 0, mode, 16, 16));
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        const int32_t i = bayer_index(x, y);
        int32_t number = 0;
        switch (mode) {
          case kDrawMono: number = dither_entry(c, kDitherMono, 0, i); break;
          case kDrawGray:
          case kDrawGrayDither: number = nearest_gray(c, 0); break;
          case kDrawNearest: number = nearest_colour(c, 0); break;
          case kDrawColourDither: number = dither_entry(c, kDitherColour, 0, i); break;
          default: break;
        }
        ASSERT_EQ(back(x, y), mode == kDrawTrueColour ? c : number_colour(number, 0)) << mode << " " << x << "," << y;
      }
    }
  }
}

TEST_F(ImageDraw, AveragingLeavesOutTransparentPixels) {
  // Mode 4 with key black: the black half of each pair is left out of the mean.
  Image* img = make_rgb(4, 1, {colour_value(200, 100, 0), 0, 0, 0});
  set_transparency_mode(img, 4);
  img->keyColour = 0;
  fill_background(colour_value(7, 7, 7));
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawTrueColour, 2, 1));
  EXPECT_EQ(back(0, 0), colour_value(200, 100, 0));
  EXPECT_EQ(back(1, 0), colour_value(7, 7, 7)) << "a block with no opaque pixel stays transparent";
  // Mode 2 on a palette image, shrunk both ways: the top-left value 3 is left out of each block.
  const uint32_t palette[4] = {colour_value(100, 0, 0), colour_value(0, 50, 0), colour_value(20, 20, 20), kWhite};
  Image* indexed = make(Indexed8, 4, 2, 4, palette);
  const uint8_t values[8] = {3, 0, 1, 2, 1, 3, 3, 3};
  std::memcpy(indexed->pixels, values, 8);
  set_transparency_mode(indexed, 2);
  ASSERT_TRUE(image_draw(indexed, 0, 5, kDrawTrueColour, 2, 1));
  EXPECT_EQ(indexed->transparentIndex, 3u);
  EXPECT_EQ(back(0, 5), colour_value(50, 25, 0)) << "entries 0 and 1";
  EXPECT_EQ(back(1, 5), colour_value(10, 35, 10)) << "entries 1 and 2";
}

int32_t g_filter_calls = 0;
int32_t g_filter_last_x = 0, g_filter_last_y = 0, g_filter_last_colour = 0;
bool g_filter_saw_image = false;
int32_t g_filter_mode = -1;

int32_t recording_filter(int32_t x, int32_t y, int32_t colour) {
  ++g_filter_calls;
  g_filter_last_x = x, g_filter_last_y = y, g_filter_last_colour = colour;
  g_filter_saw_image = graphics::pixel_filter_from_image();
  g_filter_mode = graphics::colour_mode();
  return colour;
}

int32_t odd_columns_only(int32_t x, int32_t, int32_t colour) { return x % 2 ? colour : -1; }
int32_t everything_red(int32_t, int32_t, int32_t) { return 0xF800; }

TEST_F(ImageDraw, PixelFilters) {
  Image* img = make_rgb(2, 1, {kWhite, colour_value(0, 0, 255)});
  graphics::set_viewport(10, 20, 319, 239);
  ASSERT_TRUE(graphics::add_pixel_filter(recording_filter));
  fill_background(0);
  ASSERT_TRUE(image_draw(img, 1, 2, kDrawTrueColour));
  EXPECT_EQ(g_filter_calls, 2);
  EXPECT_EQ(g_filter_last_x, 12) << "window coordinates";
  EXPECT_EQ(g_filter_last_y, 22);
  EXPECT_EQ(g_filter_last_colour, 0x001F) << "true colour: the filters see the 16-bit number";
  EXPECT_TRUE(g_filter_saw_image);
  EXPECT_EQ(g_filter_mode, graphics::kDirectMode);
  EXPECT_EQ(graphics::colour_mode(), graphics::kPaletteMode) << "restored afterwards";
  EXPECT_FALSE(graphics::pixel_filter_from_image());
  EXPECT_EQ(back(11, 22), 0u) << "white's number is 65535: passed through, it leaves the pixel transparent";
  EXPECT_EQ(back(12, 22), colour_value(0, 0, 255));
  graphics::remove_pixel_filter(recording_filter);

  graphics::add_pixel_filter(odd_columns_only);
  fill_background(kBackground);
  ASSERT_TRUE(image_draw(img, 0, 0, kDrawNearest, 4, 1));
  EXPECT_EQ(back(10, 20), kBackground);
  EXPECT_EQ(back(11, 20), kWhite);
  EXPECT_EQ(back(12, 20), kBackground);
  EXPECT_EQ(back(13, 20), colour_value(0, 0, 255));
  graphics::remove_pixel_filter(odd_columns_only);

  graphics::add_pixel_filter(everything_red);
  ASSERT_TRUE(image_draw(img, 0, 1, kDrawNearest));
  EXPECT_EQ(back(10, 21), colour_value(255, 0, 0)) << "the filter's colour number is drawn";
  ASSERT_TRUE(image_draw(img, 0, 2, kDrawTrueColour));
  EXPECT_EQ(back(10, 22), kWhite) << "in true colour only suppression is taken from the filters";
  graphics::remove_pixel_filter(everything_red);
}

int32_t answers_65535(int32_t, int32_t, int32_t) { return 65535; }

// In true colour a filter's answer of 65535 leaves the pixel transparent (filters always draw with
// a mask); without filters white is drawn like any colour, on either path.
TEST_F(ImageDraw, TrueColourTakesTheAnswer65535AsTransparent) {
  const uint32_t near_white = colour_value(250, 253, 250), not_quite = colour_value(247, 255, 255);
  const uint32_t red = colour_value(255, 0, 0);
  Image* img = make_rgb(4, 1, {kWhite, near_white, not_quite, red});
  struct Case {
    const char* name;
    graphics::PixelFilter filter;
    int32_t mode, transparency, width;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {"pass-through: white and near white are 65535", pass_through, kDrawTrueColour, 0, 0,
       {kBackground, kBackground, not_quite, red}},
      {"every answer 65535", answers_65535, kDrawTrueColour, 0, 0, {kBackground, kBackground, kBackground, kBackground}},
      {"outside true colour 65535 is white", answers_65535, kDrawNearest, 0, 0, {kWhite, kWhite, kWhite, kWhite}},
      {"no filter, masked, shrunk: white is drawn", nullptr, kDrawTrueColour, 4, 2,
       {colour_value(252, 254, 252), colour_value(251, 127, 127), kBackground, kBackground}},
      {"no filter, masked, fast: white is drawn", nullptr, kDrawTrueColour, 4, 0, {kWhite, near_white, not_quite, red}},
  };
  for (const Case& c : cases) {
    set_transparency_mode(img, c.transparency);
    img->keyColour = colour_value(1, 2, 3);
    fill_background();
    if (c.filter) graphics::add_pixel_filter(c.filter);
    // Halved when a width is given (the slow path averages the pairs), else at natural size.
    ASSERT_TRUE(image_draw(img, 0, 0, c.mode, c.width, c.width ? 1 : 0)) << c.name;
    if (c.filter) graphics::remove_pixel_filter(c.filter);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(back(x, 0), c.expected[static_cast<size_t>(x)]) << c.name << " pixel " << x;
  }
}

TEST_F(ImageDraw, BandsStayBelowFourMebibytes) {
  // A window as large as the headless display.
  platform::shutdown();
  graphics::graphics_reset();
  hl::reset();
  ASSERT_TRUE(platform::use_backend(hl::backend()));
  graphics::open_window("Lumra", 1280, 1024, 0, 0, -1, 1);
  ASSERT_EQ(g_graphics.gwin.opened, 0);
  Image* img = make(Rgb32, 1279, 1023);
  for (int32_t y = 0; y < 1023; ++y) {
    for (int32_t x = 0; x < 1279; ++x) image_set_pixel(img, x, y, colour_value(x & 255, y & 255, (x ^ y) & 255));
  }
  struct Case {
    const char* name;
    bool filtered;
    int32_t rows, bands;
  };
  // A row is 3,840 bytes; with a mask the band holds both halves.
  const Case cases[] = {{"unmasked", false, 1022, 1}, {"masked", true, 546, 2}};
  for (const Case& c : cases) {
    if (c.filtered) graphics::add_pixel_filter(keeps_every_pixel);
    set_transparency_mode(img, 0);
    img->fastStretch = 0;
    graphics::fill_rectangle_rgb(0, 0, 0, 1280, 1024);
    // Shrinking by one pixel takes the slow path.
    ASSERT_TRUE(image_draw(img, 0, 0, kDrawTrueColour, 1279, 1022));
    const DrawReport r = last_draw_report();
    EXPECT_EQ(r.band_rows, c.rows) << c.name;
    EXPECT_EQ(r.band_count, c.bands) << c.name;
    EXPECT_LT(int64_t{r.band_rows} * 3840 * (c.filtered ? 2 : 1), kBandLimit);
    for (int32_t y : {0, 545, 546, 1021}) {
      const int32_t source = static_cast<int32_t>((int64_t{y} + 1) * 1023 / 1022 + ((int64_t{y} + 1) * 1023 % 1022 ? 1 : 0) - 1);
      EXPECT_EQ(back(700, y), colour_value(700 & 255, source & 255, (700 ^ source) & 255)) << c.name << " row " << y;
    }
    if (c.filtered) graphics::remove_pixel_filter(keeps_every_pixel);
  }
}

TEST_F(ImageDraw, TheWorkBufferOnlyGrows) {
  release_draw_buffer();
  EXPECT_EQ(draw_buffer_size(), 0u);
  Image* big = make(Gray8, 200, 200);
  Image* small = make(Gray8, 10, 10);
  ASSERT_TRUE(image_draw(big, 0, 0, kDrawNearest));
  const size_t grown = draw_buffer_size();
  EXPECT_GE(grown, 200u * 200u);
  ASSERT_TRUE(image_draw(small, 0, 0, kDrawNearest));
  EXPECT_EQ(draw_buffer_size(), grown);
  release_draw_buffer();
  EXPECT_EQ(draw_buffer_size(), 0u);
}

// Golden frames: whole headless frames after a scene, hashed. The table changes only on purpose;
// run with LUMRA_PRINT_GOLDEN=1 to print the current values, and with LUMRA_GOLDEN_DUMP=folder to
// write each frame there as a PPM picture for review.
Image g_scene_image{};

void make_scene_image() {
  image_free(&g_scene_image);
  ASSERT_TRUE(image_allocate(&g_scene_image, Rgb32, 96, 64, 0, nullptr, 0, 0));
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 96; ++x) {
      const bool ring = ((x - 48) * (x - 48) + (y - 32) * (y - 32)) / 64 % 3 == 0;
      image_set_pixel(&g_scene_image, x, y, ring ? colour_value(240, 230, 40) : colour_value(x * 255 / 95, y * 4, 128));
    }
  }
}

void scene_colour_modes() {
  for (int32_t mode = kDrawMono; mode <= kDrawTrueColour; ++mode) {
    image_draw(&g_scene_image, (mode - 1) % 3 * 100, (mode - 1) / 3 * 70, mode, 90, 0);
  }
}

void scene_indexed() {
  Image img{};
  image_resample(&img, &g_scene_image, kDrawColourDither, Indexed8, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  image_draw(&img, 0, 0, kDrawNearest, 192, 0);  // enlarged: the fast path
  set_transparency_mode(&img, 2);
  image_draw(&img, 200, 10, kDrawNearest, 48, 32);
  image_free(&img);
}

void scene_gray_and_mono() {
  Image gray_image{}, mono{};
  image_resample(&gray_image, &g_scene_image, kDrawGray, Gray4, 0, 0, 0, 0, 0, 0, 0, 0, 0.3);
  image_resample(&mono, &g_scene_image, kDrawMono, Mono1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  image_draw(&gray_image, 0, 0, kDrawGrayDither, 60, 0);
  image_draw(&gray_image, 100, 0, kDrawNearest, 150, 0);
  graphics::fill_rectangle_rgb(0, 120, colour_value(40, 90, 200), 319, 119);
  set_transparency_mode(&mono, 4);
  mono.transparentIndex = 1;
  image_draw(&mono, 10, 130, kDrawNearest, 192, 0);
  image_free(&gray_image);
  image_free(&mono);
}

struct Golden {
  const char* name;
  void (*scene)();
  uint64_t hash;
};

TEST_F(ImageDraw, GoldenFrames) {
  make_scene_image();
  const Golden table[] = {
      {"colour modes", scene_colour_modes, 0x783de6ed76c8e635ull},
      {"indexed", scene_indexed, 0x56aa76f49eeb67a6ull},
      {"gray and mono", scene_gray_and_mono, 0x2e34acbcafe94484ull},
  };
  const bool print = std::getenv("LUMRA_PRINT_GOLDEN") != nullptr;
  for (const Golden& g : table) {
    graphics::clear_window();
    g.scene();
    const uint64_t hash = hl::frame_hash();
    if (const char* folder = std::getenv("LUMRA_GOLDEN_DUMP")) {
      testing::write_frame_ppm(std::string(folder) + "/image " + g.name + ".ppm");
    }
    if (print) std::printf("      {\"%s\", ..., 0x%016llxull},\n", g.name, static_cast<unsigned long long>(hash));
    EXPECT_EQ(hash, g.hash) << g.name;
  }
  image_free(&g_scene_image);
}

}  // namespace
}  // namespace lumra::image
