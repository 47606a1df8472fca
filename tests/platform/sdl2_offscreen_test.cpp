// The SDL2 backend without an X server: no display means the window is not opened (SDL's silent
// fallback to its offscreen driver included), while an explicit SDL_VIDEODRIVER=offscreen opens a
// real SDL window that presents, pumps and takes cursor calls as no-ops.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"

namespace lumra {
namespace {

class Sdl2WithoutX : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::shutdown();
    graphics::graphics_reset();
    input::input_reset();
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    ASSERT_TRUE(platform::use_backend(platform::sdl2::backend()));
  }
  void TearDown() override {
    graphics::graphics_reset();
    input::input_reset();
    platform::shutdown();
    unsetenv("SDL_VIDEODRIVER");
  }
};

TEST_F(Sdl2WithoutX, NoDisplayLeavesTheWindowNotOpened) {
  graphics::open_window("Lumra", 164, 314, 0, 0, -1, 0);
  EXPECT_EQ(graphics::g_graphics.gwin.opened, -1);
  EXPECT_FALSE(platform::window_open());
  EXPECT_EQ(platform::display_count(), 0);
  EXPECT_EQ(graphics::read_input(0), 0) << "no window: a waiting read cannot hang";
}

TEST_F(Sdl2WithoutX, RequestedOffscreenDriverOpens) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  graphics::open_window("Lumra", 164, 314, 0, 0, -1, 0);
  ASSERT_EQ(graphics::g_graphics.gwin.opened, 0);
  EXPECT_EQ(graphics::max_x(), 163);
  EXPECT_EQ(graphics::max_y(), 313);
  EXPECT_EQ(graphics::g_graphics.gwin.window_info.client.w, 163);
  EXPECT_EQ(graphics::g_graphics.gwin.window_info.client.h, 313);
  input::set_cursor_shape(platform::Cursor::kHand);
  graphics::refresh_all();
  const uint32_t t0 = input::read_clock();
  input::delay(20);
  EXPECT_GE(input::read_clock() - t0, 20u);
}

}  // namespace
}  // namespace lumra
