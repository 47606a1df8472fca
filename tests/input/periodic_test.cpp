// Periodic callbacks: the 32-slot table, re-registration, periods counted in service ticks and
// the fallback.
#include "framework/input/periodic.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/base/error.h"
#include "tests/platform/headless_session.h"

namespace lumra::input {
namespace {

std::vector<int> g_calls;
int32_t g_result = 1;

int32_t note(intptr_t argument) {
  g_calls.push_back(static_cast<int>(argument));
  return g_result;
}
int32_t other(intptr_t argument) {
  g_calls.push_back(1000 + static_cast<int>(argument));
  return 1;
}
int32_t fallback(intptr_t argument) {
  g_calls.push_back(-static_cast<int>(argument));
  return 1;
}

template <int N>
int32_t numbered(intptr_t) {
  return 1;
}

class Periodic : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    g_calls.clear();
    g_result = 1;
  }
};

template <int... I>
int register_many(std::integer_sequence<int, I...>) {
  return (register_periodic(0, numbered<I>, nullptr, 0) + ...);
}

TEST_F(Periodic, The33rdRegistrationFails) {
  EXPECT_EQ(register_many(std::make_integer_sequence<int, 32>{}), 32);
  EXPECT_EQ(register_periodic(0, note, nullptr, 0), 0);
  EXPECT_STREQ(base::last_error(), "all periodic callback slots are taken");
  EXPECT_EQ(register_periodic(0, numbered<5>, nullptr, 0), 0) << "even a re-registration needs a free slot";
  EXPECT_EQ(remove_periodic(numbered<3>), 1);
  EXPECT_EQ(register_periodic(0, note, nullptr, 0), 1);
  EXPECT_EQ(g_input.periodic[3].callback, note);
}

TEST_F(Periodic, ReRegistrationMovesToTheFirstFreeSlotAndLeavesOneEntry) {
  ASSERT_TRUE(register_periodic(0, other, nullptr, 0));
  ASSERT_TRUE(register_periodic(0, note, nullptr, 1));
  ASSERT_TRUE(remove_periodic(other));
  ASSERT_TRUE(register_periodic(5, note, nullptr, 2));
  EXPECT_EQ(g_input.periodic[0].callback, note);
  EXPECT_EQ(g_input.periodic[0].period, 5);
  EXPECT_EQ(g_input.periodic[0].argument, 2);
  int entries = 0;
  for (const PeriodicSlot& s : g_input.periodic) entries += s.callback == note;
  EXPECT_EQ(entries, 1);
  EXPECT_EQ(remove_periodic(note), 1);
  EXPECT_EQ(remove_periodic(note), 0);
  EXPECT_EQ(register_periodic(0, nullptr, nullptr, 0), 0);
}

TEST_F(Periodic, PeriodCountsServiceTicks) {
  ASSERT_TRUE(register_periodic(3, note, nullptr, 7));
  std::vector<int> ran;
  for (int tick = 1; tick <= 10; ++tick) {
    g_calls.clear();
    service_tick();
    if (!g_calls.empty()) ran.push_back(tick);
  }
  EXPECT_EQ(ran, (std::vector<int>{3, 6, 9}));
}

TEST_F(Periodic, PeriodsZeroAndOneRunEveryTickInSlotOrder) {
  ASSERT_TRUE(register_periodic(1, other, nullptr, 1));
  ASSERT_TRUE(register_periodic(0, note, nullptr, 2));
  service_tick();
  service_tick();
  EXPECT_EQ(g_calls, (std::vector<int>{1001, 2, 1001, 2}));
}

TEST_F(Periodic, FallbackRunsWhenTheCallbackReturnsZero) {
  ASSERT_TRUE(register_periodic(0, note, fallback, 4));
  service_tick();
  g_result = 0;
  service_tick();
  EXPECT_EQ(g_calls, (std::vector<int>{4, 4, -4}));
}

TEST_F(Periodic, ServiceTickRunsTheIdleYield) {
  open_splash_window();
  idle_mode_on();
  const uint32_t t0 = platform::headless::now();
  service_tick();
  EXPECT_EQ(platform::headless::now() - t0, kIdleWaitMs);
}

}  // namespace
}  // namespace lumra::input
