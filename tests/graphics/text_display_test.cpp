// Text through the SDL2 backend on a real X server (run under Xvfb, label "display"): font 0's
// strokes and a system font (DejaVu Sans, Debian's fonts-dejavu-core) drawn with draw-through on
// are on the screen at once, and their ink lies where the text's measurements say.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/graphics/graphics.h"
#include "framework/graphics/text.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"
#include "tests/graphics/text_test_support.h"

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lumra::graphics {
namespace {

using test_support::Box;

constexpr int32_t kWidth = 320, kHeight = 200;

// One connection for the whole program: Xvfb resets itself when its last client leaves.
::Display* x_connection() {
  static ::Display* display = XOpenDisplay(nullptr);
  return display;
}

class TextOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    x_ = x_connection();
    ASSERT_NE(x_, nullptr);
    platform::shutdown();
    graphics_reset();
    input::input_reset();
    ASSERT_TRUE(platform::use_backend(platform::sdl2::backend()));
    open_window("Lumra text", kWidth, kHeight, 0, 0, -1, 0);
    ASSERT_EQ(g_graphics.gwin.opened, 0);
    for (int i = 0; i < 5; ++i) input::delay(20);
    platform::WindowInfo info{};
    ASSERT_TRUE(platform::window_info(&info));
    origin_x_ = info.client.x;
    origin_y_ = info.client.y;
  }
  void TearDown() override {
    graphics_reset();
    input::input_reset();
    platform::shutdown();
  }

  // The box of the non-black pixels the X server shows in the window area (x, y, w, h).
  Box screen_ink(int32_t x, int32_t y, int32_t w, int32_t h) {
    XSync(x_, False);
    XImage* image = XGetImage(x_, DefaultRootWindow(x_), origin_x_ + x, origin_y_ + y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    Box b;
    if (!image) return b;
    b = test_support::ink_box(w, h, [&](int32_t px, int32_t py) { return (XGetPixel(image, px, py) & 0xFFFFFF) != 0; });
    XDestroyImage(image);
    if (!b.empty()) b.left += x, b.right += x, b.top += y, b.bottom += y;
    return b;
  }

  ::Display* x_ = nullptr;
  int32_t origin_x_ = 0;
  int32_t origin_y_ = 0;
};

TEST_F(TextOnScreen, FontZeroAndASystemFontShowWhereTheyMeasure) {
  ASSERT_TRUE(screen_ink(0, 0, kWidth - 1, kHeight - 1).empty()) << "the window starts black";
  set_colour(15);
  set_text_justification(0, 2);
  const int32_t stroke_width = text_width("Lumra stroke");
  const int32_t stroke_height = text_height();
  draw_text(20, 20, "Lumra stroke");
  const Box strokes = screen_ink(0, 0, kWidth - 1, 80);
  ASSERT_FALSE(strokes.empty()) << "on the screen at once";
  EXPECT_GE(strokes.left, 20);
  EXPECT_LE(strokes.right, 20 + stroke_width);
  EXPECT_GE(strokes.width(), stroke_width - 6);
  EXPECT_GE(strokes.top, 20);
  EXPECT_LE(strokes.bottom, 20 + stroke_height);

  const int32_t id = install_font("DejaVu Sans", kFontSystem, 24);
  ASSERT_GT(id, 0);
  set_text_style(id, 0, 4);
  const int32_t system_width = text_width("Lumra system");
  draw_text(20, 100, "Lumra system");
  const Box glyphs = screen_ink(0, 80, kWidth - 1, kHeight - 81);
  ASSERT_FALSE(glyphs.empty());
  EXPECT_GE(glyphs.left, 20);
  EXPECT_LE(glyphs.right, 20 + system_width);
  EXPECT_GE(glyphs.width(), system_width - 6);
  EXPECT_GE(glyphs.top, 100) << "top alignment";
  EXPECT_LE(glyphs.bottom, 100 + 24) << "within the cell height";
  EXPECT_GE(glyphs.height(), text_height()) << "three quarters of the height and the descender of y";
}

}  // namespace
}  // namespace lumra::graphics
