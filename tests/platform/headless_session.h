// Test fixture: a fresh headless platform with the framework's graphics and input state reset,
// torn down again after each test so nothing leaks into the next one.
#pragma once

#include <gtest/gtest.h>

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
};

}  // namespace lumra::testing
