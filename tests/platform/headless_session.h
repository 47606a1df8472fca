// Test fixture: a fresh headless platform with the framework's graphics and input state reset,
// torn down again after each test so nothing leaks into the next one.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "framework/graphics/graphics.h"
#include "framework/input/input.h"
#include "framework/text/oem.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace lumra::testing {

class HeadlessSession : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::shutdown();
    graphics::graphics_reset();
    input::input_reset();
    platform::headless::reset();
    ASSERT_TRUE(platform::use_backend(platform::headless::backend()));
  }
  void TearDown() override {
    graphics::graphics_reset();
    input::input_reset();
    platform::shutdown();
    platform::headless::reset();
    text::text_reset();
  }

  // Opens the usual 164 x 314 window and drops what opening queued.
  static void open_splash_window() {
    graphics::open_window("Lumra", 164, 314, 0, 0, -1, 0);
    ASSERT_EQ(graphics::g_graphics.gwin.opened, 0);
    graphics::pump_messages();
  }

  // Opens a 320 x 240 window (visible 319 x 239) with draw-through on and drops what opening
  // queued; the drawing state is as opening leaves it.
  static void open_drawing_window() {
    graphics::open_window("Lumra", 320, 240, 0, 0, -1, 1);
    ASSERT_EQ(graphics::g_graphics.gwin.opened, 0);
    graphics::pump_messages();
  }

  // The back buffer's pixel at (x, y) as a colour value, red in the low byte.
  static uint32_t back(int32_t x, int32_t y) {
    const uint8_t* p = graphics::buffer_pixel(&graphics::g_graphics.gwin.wmpaintdc, x, y);
    return static_cast<uint32_t>(p[2]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[0]) << 16;
  }
};

// Writes the headless frame as a binary PPM picture, for looking at golden scenes by eye.
inline void write_frame_ppm(const std::string& path) {
  const platform::headless::Frame f = platform::headless::frame();
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return;
  std::fprintf(out, "P6\n%d %d\n255\n", f.width, f.height);
  for (int32_t y = 0; y < f.height; ++y) {
    for (int32_t x = 0; x < f.width; ++x) {
      const uint8_t* p = f.pixels + static_cast<size_t>(y) * f.stride + static_cast<size_t>(x) * 3;
      const uint8_t rgb[3] = {p[2], p[1], p[0]};
      std::fwrite(rgb, 1, 3, out);
    }
  }
  std::fclose(out);
}

}  // namespace lumra::testing
