// The clock, delays and idle yield on the headless virtual clock: no real time passes, so every
// duration below is exact.
#include "framework/input/clock.h"

#include <gtest/gtest.h>

#include "framework/graphics/key_queue.h"
#include "tests/platform/headless_session.h"

namespace lumra::input {
namespace {

namespace hl = platform::headless;

using Clock = testing::HeadlessSession;

TEST_F(Clock, ReadingPumpsEveryWaitingMessage) {
  open_splash_window();
  for (int i = 0; i < 300; ++i) hl::post(hl::mouse_move(i % 100, 1));
  EXPECT_EQ(read_clock(), hl::now());
  EXPECT_FALSE(platform::message_waiting()) << "all 300 dispatched, past the bounded pump's 256";
  EXPECT_EQ(g_input.mouse.x, 99);
  EXPECT_EQ(g_input.ticks_per_second, 1000);
}

TEST_F(Clock, DelayZeroReturnsAtOnce) {
  open_splash_window();
  const uint32_t t0 = hl::now();
  delay(0);
  delay_ms(0);
  EXPECT_EQ(hl::now(), t0);
}

TEST_F(Clock, DelayUnderAStreamOfMouseMovesLastsItsTime) {
  open_splash_window();
  const uint32_t t0 = hl::now();
  for (uint32_t t = 7; t <= 200; t += 7) hl::post_at(t0 + t, hl::mouse_move(static_cast<int32_t>(t), 5));
  delay(50);
  const uint32_t took = hl::now() - t0;
  EXPECT_GE(took, 50u);
  EXPECT_EQ(took, 56u) << "it ends at the first message after the time has passed";
  EXPECT_EQ(g_input.mouse.x, 56);
}

TEST_F(Clock, DelayWaitsAgainWithTheFullInterval) {
  open_splash_window();
  const uint32_t t0 = hl::now();
  hl::post_at(t0 + 49, hl::mouse_move(1, 1));
  delay_ms(50);
  EXPECT_EQ(hl::now() - t0, 49u + 50u) << "woken at 49, the next wait is a full 50";
}

TEST_F(Clock, DelayWithoutWindowSleepsOutTheRest) {
  const uint32_t t0 = hl::now();
  delay(50);
  EXPECT_EQ(hl::now() - t0, 50u);
}

TEST_F(Clock, DelayAcrossTheTickWrap) {
  open_splash_window();
  hl::set_now(0xFFFFFFF0u);
  delay(50);
  EXPECT_EQ(hl::now(), 0x22u);
}

TEST_F(Clock, IdleYieldActsOnceIn128Calls) {
  open_splash_window();
  idle_mode_on();
  EXPECT_TRUE(idle_mode());
  const uint32_t t0 = hl::now();
  idle_yield();
  EXPECT_EQ(hl::now() - t0, kIdleWaitMs) << "call 0 acts and waits 100 ms";
  for (int i = 1; i < 128; ++i) idle_yield();
  EXPECT_EQ(hl::now() - t0, kIdleWaitMs) << "calls 1..127 do nothing";
  idle_yield();
  EXPECT_EQ(hl::now() - t0, 2 * kIdleWaitMs) << "call 128 acts again";
  for (int i = 0; i < 128 * 10; ++i) idle_yield();
  EXPECT_EQ(hl::now() - t0, 12 * kIdleWaitMs) << "one wait per 128 calls";
}

TEST_F(Clock, IdleYieldSleepsAtMostOncePer100Ms) {
  open_splash_window();
  idle_mode_on();
  const uint32_t t0 = hl::now();
  hl::post_at(t0 + 30, hl::mouse_move(1, 1));
  idle_yield();
  EXPECT_EQ(hl::now() - t0, 30u) << "a message ends the idle wait";
  for (int i = 1; i <= 128; ++i) idle_yield();
  EXPECT_EQ(hl::now() - t0, 30u) << "only 30 ms since the last idle wait: no wait";
  hl::advance(70);
  for (int i = 0; i < 128; ++i) idle_yield();
  EXPECT_EQ(hl::now() - t0, 200u) << "100 ms since the last one: waits again";
}

TEST_F(Clock, IdleYieldOutsideIdleModeOnlyPumps) {
  open_splash_window();
  hl::post(hl::character('k'));
  const uint32_t t0 = hl::now();
  idle_yield();
  EXPECT_EQ(hl::now(), t0);
  EXPECT_EQ(graphics::read_input(1), 'k');
  idle_mode_off();
  EXPECT_FALSE(idle_mode());
}

}  // namespace
}  // namespace lumra::input
