// Resampling: block averages with shared borders when shrinking both ways, spans otherwise, every
// destination kind (true colour with brightness, gray levels on both brightness curves, Mono1,
// indexed matching and dithers), equal-format transparency, writing into an existing image, and
// the brightness adjustment of whole images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "framework/graphics/palette.h"
#include "framework/image/colour_match.h"
#include "framework/image/draw.h"
#include "framework/image/image.h"
#include "framework/image/resample.h"

namespace lumra::image {
namespace {

constexpr uint32_t kWhite = colour_value(255, 255, 255);
uint32_t gray(uint32_t v) { return colour_value(v, v, v); }

struct Owned {
  Image img{};
  ~Owned() { image_free(&img); }
};

void fill_rgb(Image* img, const std::vector<uint32_t>& colours) {
  for (size_t i = 0; i < colours.size(); ++i) {
    image_set_pixel(img, static_cast<int32_t>(i % img->width), static_cast<int32_t>(i / img->width), colours[i]);
  }
}

uint32_t pixel(const Image& img, int32_t x, int32_t y) {
  uint32_t v = 0;
  EXPECT_TRUE(image_get_pixel(&img, x, y, &v)) << x << "," << y;
  return v;
}

int resample(Image* dst, const Image* src, int32_t mode, int32_t format, int32_t dw, int32_t dh, double k = 0) {
  return image_resample(dst, src, mode, format, 0, 0, dw, dh, 0, 0, 0, 0, k);
}

TEST(Resample, ShrinkingBothWaysAveragesBlocksThatShareBorders) {
  // Columns of x = 0 run 0..2 and of x = 1 run 2..3: column 2 counts in both.
  Owned src, dst;
  ASSERT_TRUE(image_allocate(&src.img, Gray8, 4, 4, 0, nullptr, 0, 0));
  const uint8_t levels[16] = {0, 30, 60, 90, 0, 30, 60, 90, 0, 30, 60, 90, 240, 240, 240, 240};
  std::memcpy(src.img.pixels, levels, 16);
  ASSERT_TRUE(resample(&dst.img, &src.img, kDrawNearest, Rgb32, 2, 2));
  EXPECT_EQ(pixel(dst.img, 0, 0), gray(30));   // rows 0..2, columns 0..2
  EXPECT_EQ(pixel(dst.img, 1, 0), gray(75));   // rows 0..2, columns 2..3
  EXPECT_EQ(pixel(dst.img, 0, 1), gray((0 + 30 + 60 + 240 * 3) / 6));  // rows 2..3 (the last one stays inside)
  EXPECT_EQ(pixel(dst.img, 1, 1), gray((60 + 90 + 240 * 2) / 4));
}

TEST(Resample, EnlargingAndOneWayShrinkingFillSpans) {
  Owned src, wide, squeezed;
  ASSERT_TRUE(image_allocate(&src.img, Rgb32, 4, 1, 0, nullptr, 0, 0));
  fill_rgb(&src.img, {colour_value(1, 0, 0), colour_value(2, 0, 0), colour_value(3, 0, 0), colour_value(4, 0, 0)});
  ASSERT_TRUE(resample(&wide.img, &src.img, kDrawNearest, Rgb32, 10, 2));
  const uint32_t expected[10] = {1, 1, 2, 2, 2, 3, 3, 4, 4, 4};  // spans c * 10 / 4 .. (c + 1) * 10 / 4
  for (int32_t x = 0; x < 10; ++x) {
    EXPECT_EQ(pixel(wide.img, x, 0), expected[x]) << x;
    EXPECT_EQ(pixel(wide.img, x, 1), expected[x]) << x;
  }
  // Narrower but taller: each source pixel covers at least one pixel, later ones overwrite.
  ASSERT_TRUE(resample(&squeezed.img, &src.img, kDrawNearest, Rgb32, 2, 3));
  EXPECT_EQ(pixel(squeezed.img, 0, 2), 2u);
  EXPECT_EQ(pixel(squeezed.img, 1, 0), 4u);
}

TEST(Resample, TrueColourBrightness) {
  struct Case {
    uint32_t in;
    double k;
    uint32_t out;
  };
  const Case cases[] = {
      {colour_value(100, 200, 0), 0.3, colour_value(130, 255, 0)},
      {colour_value(101, 3, 255), -0.5, colour_value(51, 2, 128)},
      {colour_value(10, 20, 30), 0.1, colour_value(11, 22, 33)},
      {colour_value(10, 20, 30), 0, colour_value(10, 20, 30)},
      {colour_value(10, 20, 30), 5, colour_value(60, 120, 180)},  // any k: c x 6
      {colour_value(0x32, 0x32, 0x32), 2, colour_value(0x96, 0x96, 0x96)},
      {colour_value(100, 200, 0), 2, colour_value(255, 255, 0)},
      {colour_value(100, 200, 30), -1.5, colour_value(0, 0, 0)},
      {colour_value(10, 20, 30), std::nan(""), colour_value(10, 20, 30)},  // NaN changes nothing
  };
  for (const Case& c : cases) {
    Owned src, dst;
    ASSERT_TRUE(image_allocate(&src.img, Rgb32, 1, 1, 0, nullptr, 0, 0));
    image_set_pixel(&src.img, 0, 0, c.in);
    ASSERT_TRUE(resample(&dst.img, &src.img, kDrawNearest, Rgb32, 0, 0, c.k));
    EXPECT_EQ(pixel(dst.img, 0, 0), c.out) << c.k;
  }
}

TEST(Resample, GrayLevelsOnThePaletteCurve) {
  // Source level 51 (5,100 of 25,500) into 16 levels.
  struct Case {
    uint8_t level;
    double k;
    int32_t mode;
    uint32_t expected;  // mode 2: the level; mode 1: how many of the 8 x 8 entries round up
    uint32_t base;
  };
  const Case cases[] = {
      {51, 0, kDrawGray, 3, 0},     {51, 0.5, kDrawGray, 7, 0},    {51, -0.5, kDrawGray, 2, 0},
      {51, 1, kDrawGray, 15, 0},    {51, -1, kDrawGray, 0, 0},     {0, 0.5, kDrawGray, 0, 0},
      {255, -0.5, kDrawGray, 15, 0}, {51, 0, kDrawMono, 0, 3},     {51, 0.5, kDrawMono, 45, 6},
  };
  for (const Case& c : cases) {
    Owned src, dst;
    ASSERT_TRUE(image_allocate(&src.img, Gray8, 8, 8, 0, nullptr, 0, 0));
    image_fill(&src.img, c.level);
    ASSERT_TRUE(resample(&dst.img, &src.img, c.mode, Gray4, 0, 0, c.k));
    if (c.mode == kDrawGray) {
      EXPECT_EQ(pixel(dst.img, 5, 5), c.expected) << int(c.level) << " " << c.k;
      continue;
    }
    uint32_t up = 0;
    for (int32_t i = 0; i < 64; ++i) {
      const uint32_t v = pixel(dst.img, i % 8, i / 8);
      EXPECT_TRUE(v == c.base || v == c.base + 1) << v;
      up += v == c.base + 1;
    }
    EXPECT_EQ(up, c.expected) << int(c.level) << " " << c.k;
  }
}

TEST(Resample, GrayLevelsOfComputedColoursMoveLinearly) {
  struct Case {
    uint32_t colour;
    double k;
    uint32_t level;  // of 256
  };
  const Case cases[] = {
      {gray(100), 0, 100},  {gray(100), 0.5, 178},  // 10,000 * 0.5 + 12,750
      {gray(100), -0.5, 50}, {gray(254), -0.5, 254},  // 25,400 is left alone
      {gray(252), -0.5, 126},
  };
  for (const Case& c : cases) {
    Owned src, dst;
    ASSERT_TRUE(image_allocate(&src.img, Rgb32, 1, 1, 0, nullptr, 0, 0));
    image_set_pixel(&src.img, 0, 0, c.colour);
    ASSERT_TRUE(resample(&dst.img, &src.img, kDrawGray, Gray8, 0, 0, c.k));
    EXPECT_EQ(pixel(dst.img, 0, 0), c.level) << c.k;
  }
}

TEST(Resample, MonoDestinationsGetABlackAndWhitePalette) {
  Owned src, dst;
  ASSERT_TRUE(image_allocate(&src.img, Rgb32, 2, 1, 0, nullptr, 0, 0));
  fill_rgb(&src.img, {colour_value(2, 200, 81), gray(127)});  // brightness 12,751 and 12,700
  ASSERT_TRUE(resample(&dst.img, &src.img, kDrawGray, Mono1, 0, 0));
  ASSERT_EQ(dst.img.paletteCount, 2);
  EXPECT_EQ(dst.img.palette[0], 0u);
  EXPECT_EQ(dst.img.palette[1], kWhite);
  EXPECT_EQ(pixel(dst.img, 0, 0), 1u);
  EXPECT_EQ(pixel(dst.img, 1, 0), 0u) << "level 31 of 64 rounds down";
  // Dithered: gray 128 is level 32 of 64, so 1 where the Bayer value is below 32 (the first row
  // 0, 32, 8, 40, 2, 34, 10, 42).
  Owned flat, dithered;
  ASSERT_TRUE(image_allocate(&flat.img, Rgb32, 8, 1, 0, nullptr, 0, 0));
  image_fill_rgb(&flat.img, gray(128));
  ASSERT_TRUE(resample(&dithered.img, &flat.img, kDrawMono, Mono1, 0, 0));
  EXPECT_EQ(dithered.img.pixels[0], 0xAA);
}

TEST(Resample, ComputedGrayWithBrightnessIntoSixteenLevels) {
  // Gray 100 with k = 0.3: 10,000 x 0.7 + 25,500 x 0.3 = 14,650, level 15 x 64 x 14,650 / 25,500
  // = 551 sixty-fourths, which rounds to 9.
  Owned src, dst;
  ASSERT_TRUE(image_allocate(&src.img, Rgb32, 1, 1, 0, nullptr, 0, 0));
  image_set_pixel(&src.img, 0, 0, gray(100));
  ASSERT_TRUE(resample(&dst.img, &src.img, kDrawGray, Gray4, 0, 0, 0.3));
  EXPECT_EQ(pixel(dst.img, 0, 0), 9u);
}

TEST(Resample, IndexedDestinationsMatchOrDither) {
  const uint32_t c = colour_value(90, 160, 40);
  struct Case {
    int32_t format, mode;
  };
  const Case cases[] = {{Indexed8, kDrawNearest}, {Indexed8, kDrawColourDither}, {Indexed4, kDrawGray},
                        {Indexed4, kDrawMono},    {Indexed8, kDrawGrayDither},   {Indexed4, kDrawTrueColour}};
  for (const Case& k : cases) {
    Owned src, dst;
    ASSERT_TRUE(image_allocate(&src.img, Rgb32, 8, 8, 0, nullptr, 0, 0));
    image_fill_rgb(&src.img, c);
    ASSERT_TRUE(resample(&dst.img, &src.img, k.mode, k.format, 0, 0));
    EXPECT_EQ(dst.img.paletteCount, 0) << "indexed destinations use the window palette";
    const int32_t colours = k.format == Indexed4 ? 16 : 256;
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        int32_t expected = nearest_colour(c, colours);
        if (k.mode == kDrawGray) expected = nearest_gray(c, colours);
        if (k.mode == kDrawMono) expected = dither_entry(c, kDitherMono, colours, bayer_index(x, y));
        if (k.mode == kDrawGrayDither) expected = dither_entry(c, kDitherGray, colours, bayer_index(x, y));
        if (k.mode == kDrawColourDither) expected = dither_entry(c, kDitherColour, colours, bayer_index(x, y));
        ASSERT_EQ(pixel(dst.img, x, y), static_cast<uint32_t>(expected)) << k.format << " " << k.mode;
      }
    }
  }
}

TEST(Resample, PaletteSourcesGoThroughTheirEntries) {
  const uint32_t palette[2] = {colour_value(255, 0, 0), colour_value(0, 0, 190)};
  Owned src, rgb, indexed;
  ASSERT_TRUE(image_allocate(&src.img, Indexed4, 2, 1, 2, palette, 0, 0));
  image_set_pixel(&src.img, 0, 0, 0);
  image_set_pixel(&src.img, 1, 0, 1);
  ASSERT_TRUE(resample(&rgb.img, &src.img, kDrawNearest, Rgb32, 4, 1, 0.1));
  EXPECT_EQ(pixel(rgb.img, 1, 0), colour_value(255, 0, 0));
  EXPECT_EQ(pixel(rgb.img, 3, 0), colour_value(0, 0, 209));
  ASSERT_TRUE(resample(&indexed.img, &src.img, kDrawNearest, Indexed8, 0, 0));
  EXPECT_EQ(pixel(indexed.img, 0, 0), 12u);
  EXPECT_EQ(pixel(indexed.img, 1, 0), 1u);
}

TEST(Resample, EqualFormatsKeepTheirTransparency) {
  Owned src, bigger, smaller;
  ASSERT_TRUE(image_allocate(&src.img, Indexed8, 2, 2, 0, nullptr, 4, 0));
  src.img.transparentIndex = 3;
  src.img.keyColour = 0x123;
  const uint8_t values[4] = {3, 5, 3, 5};
  std::memcpy(src.img.pixels, values, 4);
  ASSERT_TRUE(resample(&bigger.img, &src.img, kDrawNearest, Indexed8, 4, 4));
  EXPECT_EQ(transparency_mode(&bigger.img), 4);
  EXPECT_EQ(bigger.img.transparentIndex, 3u);
  EXPECT_EQ(bigger.img.keyColour, 0x123u);
  EXPECT_EQ(pixel(bigger.img, 0, 0), 3u) << "covered by nothing: the transparent value";
  EXPECT_EQ(pixel(bigger.img, 3, 3), 5u);
  // Shrinking: a transparent pixel counts with what the destination holds there.
  Owned rgb;
  ASSERT_TRUE(image_allocate(&rgb.img, Rgb32, 2, 2, 0, nullptr, 2, 0));
  fill_rgb(&rgb.img, {colour_value(7, 7, 7), colour_value(200, 0, 0), colour_value(200, 0, 0), colour_value(0, 100, 0)});
  ASSERT_TRUE(resample(&smaller.img, &rgb.img, kDrawNearest, Rgb32, 1, 1));
  EXPECT_EQ(smaller.img.keyColour, 0u);
  EXPECT_EQ(pixel(smaller.img, 0, 0), colour_value((7 + 200 + 200 + 0) / 4, (7 + 0 + 0 + 100) / 4, 7 / 4));
}

TEST(Resample, IntoAnExistingImage) {
  Owned dst, src;
  ASSERT_TRUE(image_allocate(&dst.img, Gray8, 4, 4, 0, nullptr, 0, 0));
  image_fill(&dst.img, 9);
  ASSERT_TRUE(image_allocate(&src.img, Gray8, 2, 2, 0, nullptr, 0, 0));
  image_fill(&src.img, 200);
  ASSERT_TRUE(image_resample(&dst.img, &src.img, kDrawGray, -1, 3, 3, 0, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(pixel(dst.img, 3, 3), 200u);
  EXPECT_EQ(pixel(dst.img, 2, 3), 9u);
  EXPECT_EQ(dst.img.width, 4u);
  // Far outside, and huge: nothing is visited that does not exist.
  ASSERT_TRUE(image_resample(&dst.img, &src.img, kDrawGray, -1, -2000000000, 1, 2000000000, 2000000000, 0, 0, 0, 0, 0));
  EXPECT_EQ(pixel(dst.img, 0, 0), 9u);
  ASSERT_TRUE(image_resample(&dst.img, &src.img, kDrawGray, -1, -1, -1, 3, 3, 1, 1, 1, 1, 0));
  EXPECT_EQ(pixel(dst.img, 1, 1), 200u);
}

TEST(Resample, Refusals) {
  Owned empty, src, dst;
  ASSERT_TRUE(image_allocate(&src.img, Gray8, 2, 2, 0, nullptr, 0, 0));
  EXPECT_FALSE(resample(&dst.img, &empty.img, kDrawGray, Gray8, 0, 0)) << "no source pixels";
  EXPECT_FALSE(resample(&dst.img, &src.img, kDrawGray, 6, 0, 0)) << "format 6";
  EXPECT_FALSE(resample(&dst.img, &src.img, kDrawGray, -1, 0, 0)) << "no destination pixels";
  EXPECT_FALSE(resample(&dst.img, &src.img, kDrawGray, Gray8, -1, 0)) << "negative size";
  EXPECT_FALSE(resample(&dst.img, &src.img, kDrawGray, Gray8, 65537, 1)) << "too wide to allocate";
  EXPECT_FALSE(image_resample(&dst.img, &src.img, kDrawGray, Gray8, 0, 0, 0, 0, 2, 0, 1, 1, 0)) << "source outside";
}

TEST(Resample, OntoItself) {
  Owned img;
  ASSERT_TRUE(image_allocate(&img.img, Gray8, 4, 4, 0, nullptr, 0, 0));
  image_fill(&img.img, 100);
  ASSERT_TRUE(resample(&img.img, &img.img, kDrawGray, Rgb32, 2, 2));
  EXPECT_EQ(img.img.format, Rgb32);
  EXPECT_EQ(img.img.width, 2u);
  EXPECT_EQ(pixel(img.img, 1, 1), gray(100));
}

TEST(AdjustBrightness, IndexedPalettes) {
  const uint32_t palette[3] = {colour_value(100, 0, 250), colour_value(10, 20, 30) | 0xAB000000u, colour_value(1, 1, 1)};
  Owned img;
  ASSERT_TRUE(image_allocate(&img.img, Indexed4, 2, 2, 3, palette, 0, 0));
  ASSERT_TRUE(image_adjust_brightness(&img.img, 0.3));
  EXPECT_EQ(img.img.palette[0], colour_value(130, 0, 255));
  EXPECT_EQ(img.img.palette[1], colour_value(13, 26, 39) | 0xAB000000u);
  ASSERT_TRUE(image_adjust_brightness(&img.img, 0));
  EXPECT_EQ(img.img.palette[0], colour_value(130, 0, 255)) << "0 changes nothing";
  // Without a palette of its own the image gets one; the window palette stays as it is.
  Owned plain;
  ASSERT_TRUE(image_allocate(&plain.img, Indexed8, 2, 2, 0, nullptr, 0, 0));
  ASSERT_TRUE(image_adjust_brightness(&plain.img, -0.5));
  ASSERT_EQ(plain.img.paletteCount, 256);
  EXPECT_EQ(plain.img.palette[15], colour_value(128, 128, 128));
  EXPECT_EQ(graphics::palette_entry(15).red, 63);
}

TEST(AdjustBrightness, PalettesAndPixelsFollowOneRule) {
  // floor(c * (1 + k) + 0.5) held to 0..255, for any k, whether c sits in a palette or a pixel.
  for (double k : {2.0, 5.0, -0.3, -1.0, -2.0, 0.3, 300.0, -1e300}) {
    const uint32_t colour = colour_value(0x32, 0x80, 0xFF);
    Owned indexed, rgb;
    ASSERT_TRUE(image_allocate(&indexed.img, Indexed8, 1, 1, 1, &colour, 0, 0));
    ASSERT_TRUE(image_allocate(&rgb.img, Rgb32, 1, 1, 0, nullptr, 0, 0));
    image_set_pixel(&rgb.img, 0, 0, colour);
    ASSERT_TRUE(image_adjust_brightness(&indexed.img, k));
    ASSERT_TRUE(image_adjust_brightness(&rgb.img, k));
    const auto channel = [k](double c) { return static_cast<uint32_t>(std::clamp(std::floor(c * (1 + k) + 0.5), 0.0, 255.0)); };
    const uint32_t expected = colour_value(channel(0x32), channel(0x80), channel(0xFF));
    EXPECT_EQ(indexed.img.palette[0], expected) << k;
    EXPECT_EQ(pixel(rgb.img, 0, 0), expected) << k;
  }
}

TEST(AdjustBrightness, TrueColourAndOthers) {
  Owned rgb;
  ASSERT_TRUE(image_allocate(&rgb.img, Rgb32, 3, 1, 0, nullptr, 0, 0));
  fill_rgb(&rgb.img, {colour_value(100, 200, 0) | 0x7F000000u, colour_value(10, 20, 30), kWhite});
  ASSERT_TRUE(image_adjust_brightness(&rgb.img, -0.3));
  EXPECT_EQ(pixel(rgb.img, 0, 0), colour_value(70, 140, 0) | 0x7F000000u) << "the fourth byte rides along";
  EXPECT_EQ(pixel(rgb.img, 1, 0), colour_value(7, 14, 21));
  EXPECT_EQ(pixel(rgb.img, 2, 0), colour_value(179, 179, 179));
  EXPECT_EQ(rgb.img.width, 3u);
  Owned g;
  ASSERT_TRUE(image_allocate(&g.img, Gray8, 1, 1, 0, nullptr, 0, 0));
  image_fill(&g.img, 40);
  ASSERT_TRUE(image_adjust_brightness(&g.img, 0.5));
  EXPECT_EQ(pixel(g.img, 0, 0), 40u) << "gray images are left as they are";
  Owned empty;
  EXPECT_FALSE(image_adjust_brightness(&empty.img, 0.5));
}

}  // namespace
}  // namespace lumra::image
