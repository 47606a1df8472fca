// Mouse polls on the headless backend: presses reported once, the latch, held and second buttons,
// wheel bits, pointer placement and the cursor cache.
#include "framework/input/mouse.h"

#include <gtest/gtest.h>

#include "framework/graphics/viewport.h"
#include "tests/platform/headless_session.h"

namespace lumra::input {
namespace {

namespace hl = platform::headless;

class Mouse : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    open_splash_window();
  }
  static int32_t poll() {
    int32_t x = 0, y = 0, buttons = 0;
    mouse_poll(&x, &y, &buttons);
    return buttons;
  }
};

TEST_F(Mouse, PressAndReleaseBetweenPollsIsSeenOnce) {
  hl::post(hl::mouse_move(30, 40));
  hl::post(hl::button_down(platform::kButtonLeft));
  hl::post(hl::button_up(platform::kButtonLeft));
  int32_t x = 0, y = 0, buttons = 0;
  mouse_poll(&x, &y, &buttons);
  EXPECT_EQ(buttons, kMouseLeft);
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
  EXPECT_EQ(poll(), 0);
}

TEST_F(Mouse, HeldButtonIsReportedOnlyOnce) {
  hl::post(hl::button_down(platform::kButtonLeft));
  EXPECT_EQ(poll(), kMouseLeft);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(poll(), 0) << i;
  hl::post(hl::button_up(platform::kButtonLeft));
  EXPECT_EQ(poll(), 0);
  hl::post(hl::button_down(platform::kButtonLeft));
  EXPECT_EQ(poll(), kMouseLeft) << "released and pressed again";
}

TEST_F(Mouse, SecondButtonWhileTheFirstIsHeldIsNotReported) {
  hl::post(hl::button_down(platform::kButtonLeft));
  EXPECT_EQ(poll(), kMouseLeft);
  hl::post(hl::button_down(platform::kButtonRight));
  EXPECT_EQ(poll(), 0);
  EXPECT_EQ(g_input.mouse.buttons, kMouseLeft | kMouseRight);
}

TEST_F(Mouse, WheelTurnsReportLikeAPress) {
  hl::post(hl::wheel(120));
  EXPECT_EQ(poll(), kWheelAway);
  EXPECT_EQ(g_input.mouse.buttons, kWheelAway) << "the bit stays until a button release";
  EXPECT_EQ(poll(), 0);
  hl::post(hl::button_down(platform::kButtonLeft));
  EXPECT_EQ(poll(), 0) << "the last reported set is still the wheel";
  hl::post(hl::button_up(platform::kButtonLeft));
  EXPECT_EQ(poll(), 0);
  EXPECT_EQ(g_input.mouse.buttons, 0);
  hl::post(hl::button_down(platform::kButtonLeft));
  EXPECT_EQ(poll(), kMouseLeft) << "after the release the next press is reported";
  hl::post(hl::button_up(platform::kButtonLeft));
  poll();
  hl::post(hl::wheel(-120));
  EXPECT_EQ(poll(), kWheelTowards);
  EXPECT_EQ(g_input.mouse.last_press_time, hl::now());
}

TEST_F(Mouse, RawReadTakesTheLatchFirst) {
  hl::post(hl::button_down(platform::kButtonRight));
  hl::post(hl::button_up(platform::kButtonRight));
  graphics::pump_messages();
  int32_t x = 0, y = 0, buttons = 0;
  read_raw_mouse(&x, &y, &buttons);
  EXPECT_EQ(buttons, kMouseRight);
  read_raw_mouse(&x, &y, &buttons);
  EXPECT_EQ(buttons, 0);
}

TEST_F(Mouse, PollServicesPeriodicCallbacks) {
  static int calls = 0;
  calls = 0;
  ASSERT_TRUE(register_periodic(2, [](intptr_t) -> int32_t { return ++calls; }, nullptr, 0));
  for (int i = 0; i < 6; ++i) poll();
  EXPECT_EQ(calls, 3);
}

TEST_F(Mouse, SetPointerPositionUsesTheViewportCentreForNegatives) {
  graphics::set_viewport(10, 20, 111, 61);
  set_pointer_position(-1, -1);
  int32_t x = 0, y = 0;
  hl::last_warp(&x, &y);
  EXPECT_EQ(x, 60);
  EXPECT_EQ(y, 40);
  set_pointer_position(5, -3);
  hl::last_warp(&x, &y);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 40);
  poll();
  EXPECT_EQ(g_input.mouse.x, 5) << "the warp arrives as a mouse move";
  EXPECT_EQ(hl::warp_count(), 2u);
}

TEST_F(Mouse, CursorCacheSkipsRepeatsUntilThePointerMoves) {
  set_cursor_shape(platform::Cursor::kHand);
  set_cursor_shape(platform::Cursor::kHand);
  EXPECT_EQ(hl::cursor_calls(), 1u);
  EXPECT_EQ(hl::cursor(), platform::Cursor::kHand);
  hl::post(hl::mouse_move(3, 3));
  poll();
  set_cursor_shape(platform::Cursor::kHand);
  EXPECT_EQ(hl::cursor_calls(), 2u) << "over the client area the shape is set again";
  set_cursor_shape(platform::Cursor::kArrow);
  EXPECT_EQ(hl::cursor(), platform::Cursor::kArrow);
}

TEST_F(Mouse, OpeningTheWindowClearsPendingState) {
  graphics::graphics_reset();
  platform::shutdown();
  hl::reset();
  ASSERT_TRUE(platform::use_backend(hl::backend()));
  g_input.mouse.latch = 1;
  g_input.mouse.buttons = 3;
  g_input.last_reported = 1;
  graphics::open_window("t", 164, 314, 0, 0, -1, 0);
  EXPECT_EQ(g_input.mouse.latch, 0);
  EXPECT_EQ(g_input.mouse.buttons, 0);
  EXPECT_EQ(g_input.last_reported, 0);
}

}  // namespace
}  // namespace lumra::input
