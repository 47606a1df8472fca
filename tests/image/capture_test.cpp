// Capture on the headless backend: a drawn back buffer read back in every format, bitmaps of each
// depth, a different size through resampling, and the progress line that sweeps down the bitmap's
// place on screen and leaves it restored.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framework/graphics/colour.h"
#include "framework/graphics/draw_state.h"
#include "framework/graphics/primitives.h"
#include "framework/graphics/viewport.h"
#include "framework/image/capture.h"
#include "framework/image/colour_match.h"
#include "framework/image/image.h"
#include "tests/platform/headless_session.h"

namespace lumra::image {
namespace {

namespace hl = platform::headless;
using graphics::g_graphics;

constexpr uint32_t kWhite = colour_value(255, 255, 255);

class ImageCapture : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    testing::HeadlessSession::SetUp();
    open_drawing_window();
    image_create(&img_);
  }
  void TearDown() override {
    image_free(&img_);
    testing::HeadlessSession::TearDown();
  }
  // A 16 x 8 scene of four colours: quarters red, gray 200, blue, a dark green.
  static void draw_scene(int32_t x, int32_t y) {
    graphics::fill_rectangle_rgb(x, y, colour_value(255, 0, 0), 8, 4);
    graphics::fill_rectangle_rgb(x + 8, y, colour_value(200, 200, 200), 8, 4);
    graphics::fill_rectangle_rgb(x, y + 4, colour_value(0, 0, 255), 8, 4);
    graphics::fill_rectangle_rgb(x + 8, y + 4, colour_value(0, 90, 0), 8, 4);
  }
  Image img_{};
};

TEST_F(ImageCapture, BackBufferInEveryFormat) {
  draw_scene(20, 30);
  for (int32_t format = Mono1; format <= Rgb32; ++format) {
    ASSERT_TRUE(image_capture_screen(&img_, 20, 30, 16, 8, format, 0)) << format;
    EXPECT_EQ(img_.format, format);
    EXPECT_EQ(img_.width, 16u);
    EXPECT_EQ(img_.height, 8u);
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        const uint32_t c = back(20 + x, 30 + y);
        uint32_t expected = 0;
        switch (format) {
          case Mono1: expected = brightness8(c) * 64 / 255 <= kBayer[bayer_index(x, y)] ? 0 : 1; break;
          case Gray4: expected = static_cast<uint32_t>(brightness8(c) * 15 / 255); break;
          case Gray8: expected = static_cast<uint32_t>(brightness8(c)); break;
          case Indexed4: expected = static_cast<uint32_t>(nearest_colour(c, 16)); break;
          case Indexed8: expected = static_cast<uint32_t>(nearest_colour(c, 256)); break;
          default: expected = c; break;
        }
        uint32_t v = 0;
        ASSERT_TRUE(image_get_pixel(&img_, x, y, &v));
        ASSERT_EQ(v, expected) << "format " << format << " at " << x << "," << y;
      }
    }
  }
  uint32_t v = 0;
  ASSERT_TRUE(image_capture_screen(&img_, 20, 30, 16, 8, Indexed4, 0));
  image_get_pixel(&img_, 0, 0, &v);
  EXPECT_EQ(v, 12u) << "red";
}

TEST_F(ImageCapture, RegionCutToTheBufferAndViewport) {
  draw_scene(0, 0);
  graphics::set_viewport(4, 2, 319, 239);
  ASSERT_TRUE(image_capture_screen(&img_, -4, -2, 30, 30, Rgb32, 0));
  EXPECT_EQ(img_.width, 30u);
  uint32_t v = 0;
  image_get_pixel(&img_, 8, 0, &v);
  EXPECT_EQ(v, colour_value(200, 200, 200));
  ASSERT_TRUE(image_capture_screen(&img_, 300, 230, 100, 100, Rgb32, 0));
  EXPECT_EQ(img_.width, 320u - 304u) << "cut at the buffer's edge";
  EXPECT_FALSE(image_capture_screen(&img_, 400, 0, 10, 10, Rgb32, 0));
  EXPECT_FALSE(image_capture_screen(&img_, 0, 0, -1, 10, Rgb32, 0));
}

TEST_F(ImageCapture, ProgressLineSweepsAndIsWipedAway) {
  draw_scene(40, 50);
  const uint64_t before = hl::frame_hash();
  const uint32_t presents = hl::present_count();
  ASSERT_TRUE(image_capture_screen(&img_, 40, 50, 16, 8, Rgb32, 1));
  EXPECT_GE(hl::present_count() - presents, 16u) << "a line and a restored row per captured row";
  EXPECT_EQ(hl::frame_hash(), before) << "every row restored";
  EXPECT_EQ(graphics::get_colour(), 15);
  uint32_t v = 0;
  image_get_pixel(&img_, 15, 7, &v);
  EXPECT_EQ(v, colour_value(0, 90, 0)) << "the line never reaches the captured pixels";
}

TEST_F(ImageCapture, BitmapsOfEachDepth) {
  // One pixel per depth, each some shade of the same colour.
  const uint8_t bits4[1] = {0xC0};          // index 12: red
  const uint8_t bits8[1] = {33};            // cube 0, 0, 1
  const uint8_t bits16[2] = {0x1F, 0xF8};   // 5-6-5 0xF81F: magenta
  const uint8_t bits24[3] = {1, 2, 3};      // blue, green, red
  const uint8_t bits32[4] = {4, 5, 6, 7};
  struct Case {
    const uint8_t* pixels;
    int32_t bits;
    uint32_t colour;
  };
  const Case cases[] = {
      {bits4, 4, colour_value(255, 0, 0)},    {bits8, 8, colour_value(0, 0, 48)}, {bits16, 16, colour_value(255, 0, 255)},
      {bits24, 24, colour_value(3, 2, 1)},    {bits32, 32, colour_value(6, 5, 4)},
  };
  for (const Case& c : cases) {
    const CaptureBitmap bitmap{c.pixels, 1, 1, 4, c.bits};
    ASSERT_TRUE(image_capture_bitmap(&img_, &bitmap, Rgb32)) << c.bits;
    uint32_t v = 0;
    image_get_pixel(&img_, 0, 0, &v);
    EXPECT_EQ(v, c.colour) << c.bits;
  }
  for (int32_t bits : {1, 2, 12, 48}) {
    const CaptureBitmap bitmap{bits32, 1, 1, 8, bits};
    EXPECT_FALSE(image_capture_bitmap(&img_, &bitmap, Rgb32)) << bits;
  }
  const CaptureBitmap short_rows{bits32, 2, 1, 4, 32};
  EXPECT_FALSE(image_capture_bitmap(&img_, &short_rows, Rgb32)) << "rows shorter than the width";
  EXPECT_FALSE(image_capture_bitmap(&img_, nullptr, Rgb32));
}

TEST_F(ImageCapture, RecordEntryAndProgressOverItsOwnPlace) {
  // The bitmap differs from what the screen shows at its place: restoring writes the bitmap, and
  // the rectangle being two pixels wider keeps the white line where no bitmap column comes back.
  std::vector<uint8_t> pixels(4 * 3 * 5, 0);
  for (size_t i = 0; i < pixels.size(); i += 3) pixels[i + 2] = 200;  // red
  const CaptureBitmap bitmap{pixels.data(), 4, 5, 12, 24};
  const CaptureRecord record{&bitmap, 10, 10, 6, 5};
  ASSERT_TRUE(image_capture_record(&img_, &record, 0, 0, Gray8, 0));
  EXPECT_EQ(back(10, 10), 0u) << "no rectangle unless asked";
  ASSERT_TRUE(image_capture_record(&img_, &record, 0, 0, Gray8, 1));
  for (int32_t y = 10; y < 15; ++y) {
    for (int32_t x = 10; x < 14; ++x) EXPECT_EQ(back(x, y), colour_value(200, 0, 0)) << x << "," << y;
    EXPECT_EQ(back(14, y), kWhite) << y;
    EXPECT_EQ(back(15, y), kWhite) << y;
    EXPECT_EQ(back(16, y), 0u) << y;
  }
  EXPECT_EQ(back(10, 15), 0u) << "nothing below the rectangle";
  uint32_t v = 0;
  image_get_pixel(&img_, 3, 4, &v);
  EXPECT_EQ(v, 60u);
}

TEST_F(ImageCapture, OtherSizesAreResampled) {
  draw_scene(0, 0);
  ASSERT_TRUE(image_capture_screen(&img_, 0, 0, 16, 8, Indexed8, 0));
  Image half{};
  const CaptureBitmap bitmap{graphics::buffer_pixel(&g_graphics.gwin.wmpaintdc, 0, 0), 16, 8,
                             g_graphics.gwin.wmpaintdc.stride, 24};
  ASSERT_TRUE(image_capture(&half, &bitmap, 8, 4, Rgb32, nullptr));
  EXPECT_EQ(half.width, 8u);
  EXPECT_EQ(half.height, 4u);
  uint32_t v = 0;
  image_get_pixel(&half, 0, 0, &v);
  EXPECT_EQ(v, colour_value(255, 0, 0)) << "a block of one colour";
  image_get_pixel(&half, 7, 3, &v);
  EXPECT_EQ(v, colour_value(0, 90, 0));
  ASSERT_TRUE(image_capture(&half, &bitmap, 32, 0, Gray8, nullptr));
  EXPECT_EQ(half.width, 32u);
  EXPECT_EQ(half.height, 8u);
  image_get_pixel(&half, 31, 7, &v);
  EXPECT_EQ(v, static_cast<uint32_t>(brightness8(colour_value(0, 90, 0))));
  EXPECT_FALSE(image_capture(&half, &bitmap, -1, 0, Gray8, nullptr));
  EXPECT_FALSE(image_capture(&half, &bitmap, 0, 0, 9, nullptr));
  image_free(&half);
}

}  // namespace
}  // namespace lumra::image
