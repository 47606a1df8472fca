// Drawing through the SDL2 backend on a real X server (run under Xvfb, label "display"): with the
// draw-through flag off nothing reaches the screen until a refresh; with it on each primitive is
// on the screen as soon as it returns. Pixels are read back from the X server itself.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/graphics/colour.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/primitives.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lumra::graphics {
namespace {

// One connection for the whole program: Xvfb resets itself when its last client leaves, and a
// connection made during that reset fails.
::Display* x_connection() {
  static ::Display* display = XOpenDisplay(nullptr);
  return display;
}

class DrawOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    x_ = x_connection();
    ASSERT_NE(x_, nullptr);
    platform::shutdown();
    graphics_reset();
    input::input_reset();
    ASSERT_TRUE(platform::use_backend(platform::sdl2::backend()));
    open_window("Lumra drawing", 200, 150, 0, 0, -1, 0);
    ASSERT_EQ(g_graphics.gwin.opened, 0);
    // Lets the window be mapped and its first paint be handled before anything is compared.
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

  // 0xRRGGBB of window pixel (x, y) as the X server shows it now.
  uint32_t screen(int32_t x, int32_t y) {
    XSync(x_, False);
    XImage* image = XGetImage(x_, DefaultRootWindow(x_), origin_x_ + x, origin_y_ + y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xFF000000u;
    const uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
  }

  ::Display* x_ = nullptr;
  int32_t origin_x_ = 0;
  int32_t origin_y_ = 0;
};

TEST_F(DrawOnScreen, WithoutDrawThroughNothingShowsUntilARefresh) {
  ASSERT_EQ(screen(30, 30), 0u) << "the window starts black";
  set_draw_through(0);
  set_fill_colour(12);
  fill_rectangle(10, 10, 99, 59);
  set_colour(14);
  line(0, 100, 150, 100);
  put_pixel(120, 120, 15);
  const Point triangle[] = {{150, 10}, {190, 10}, {170, 60}};
  filled_polygon(3, triangle, 2, rgb(0, 0, 255));
  uint32_t back = 0;
  ASSERT_TRUE(get_pixel(30, 30, &back));
  EXPECT_EQ(back, rgb(255, 0, 0)) << "the back buffer has it";
  EXPECT_EQ(screen(30, 30), 0u);
  EXPECT_EQ(screen(50, 100), 0u);
  EXPECT_EQ(screen(120, 120), 0u);
  EXPECT_EQ(screen(170, 20), 0u);

  refresh_rect(0, 0, 100, 70);
  EXPECT_EQ(screen(30, 30), 0xFF0000u) << "refreshed";
  EXPECT_EQ(screen(120, 120), 0u) << "outside the refreshed rectangle";
  refresh_all();
  EXPECT_EQ(screen(50, 100), 0xFFFF00u);
  EXPECT_EQ(screen(120, 120), 0xFFFFFFu);
  EXPECT_EQ(screen(170, 20), 0x0000FFu);
}

TEST_F(DrawOnScreen, WithDrawThroughEachPrimitiveShowsAtOnce) {
  set_fill_colour(9);
  fill_rectangle(0, 0, 40, 40);
  EXPECT_EQ(screen(20, 20), 0x0000FFu);
  set_colour(10);
  line(60, 5, 60, 80);
  EXPECT_EQ(screen(60, 50), 0x00FF00u);
  put_pixel_rgb(100, 100, rgb(1, 2, 3));
  EXPECT_EQ(screen(100, 100), 0x010203u);
  set_line_style(kStyleSolid, 5);
  set_colour(15);
  line(120, 20, 180, 20);
  EXPECT_EQ(screen(150, 22), 0xFFFFFFu);
  EXPECT_EQ(screen(150, 23), 0u);
}

// The id other programs (the file dialog) are attached to names this very window on the X server.
TEST_F(DrawOnScreen, NativeIdIsTheXWindowOfTheClientArea) {
  platform::WindowInfo info{};
  ASSERT_TRUE(platform::window_info(&info));
  ASSERT_NE(info.native_id, 0u);
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(x_, static_cast<::Window>(info.native_id), &attributes), 0);
  EXPECT_EQ(attributes.width, info.client.w);
  EXPECT_EQ(attributes.height, info.client.h);
  EXPECT_EQ(attributes.map_state, IsViewable);
}

}  // namespace
}  // namespace lumra::graphics
