// The splash loop on the headless backend's virtual clock: its time limit, the close request and
// keys, the browser checks every half second, clicks on both bands and the cursor over them.
#include "viewer/splash.h"

#include <gtest/gtest.h>

#include "framework/input/clock.h"
#include "framework/input/key_poll.h"
#include "platform/keys.h"
#include "tests/platform/headless_session.h"
#include "tests/viewer/viewer_fakes.h"
#include "viewer/viewer_config.h"

namespace lumra::viewer {
namespace {

namespace hl = platform::headless;
using testing::g_world;

class Splash : public lumra::testing::HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    g_world = {};
    testing::let_passes_take_time();
    open_splash_window();
  }
  // A click (press and release 20 ms later) at (x, y) at time t.
  static void click(uint32_t t, int32_t x, int32_t y) {
    hl::post_at(t, hl::mouse_move(x, y));
    hl::post_at(t, hl::button_down(platform::kButtonLeft));
    hl::post_at(t + 20, hl::button_up(platform::kButtonLeft));
  }
  static void key(uint32_t t, char c) {
    hl::post_at(t, hl::key_down(c - 'a' + 'A'));
    hl::post_at(t, hl::character(c));
    hl::post_at(t + 10, hl::key_up(c - 'a' + 'A'));
  }
};

TEST_F(Splash, TimeLimitWithoutInputGivesOne) {
  const uint32_t t0 = hl::now();
  EXPECT_EQ(splash(1, nullptr, 0, testing::fake_services()), 1);
  EXPECT_GE(hl::now() - t0, 1000u);
  EXPECT_LE(hl::now() - t0, 1100u);
}

TEST_F(Splash, CloseRequestEndsItWithZeroAndIsTaken) {
  const uint32_t t0 = hl::now();
  hl::post_at(t0 + 300, hl::close_request());
  EXPECT_EQ(splash(1, nullptr, 0, testing::fake_services()), 0);
  EXPECT_LT(hl::now() - t0, 500u);
  EXPECT_EQ(input::peek_key(), 0) << "the close code was consumed";
}

TEST_F(Splash, KeyEndsItWithOneAndIsTaken) {
  const uint32_t t0 = hl::now();
  key(t0 + 2000, 'x');
  g_world.browser_runs_ms = 60000;
  g_world.launched_at = t0;
  EXPECT_EQ(splash(0, nullptr, 4242, testing::fake_services()), 1);
  EXPECT_LT(hl::now() - t0, 2200u);
  EXPECT_EQ(input::peek_key(), 0);
}

TEST_F(Splash, BrowserIsCheckedAtOnceThenEveryHalfSecondUntilItEnds) {
  const uint32_t t0 = hl::now();
  g_world.launched_at = t0;
  g_world.browser_runs_ms = 2300;
  EXPECT_EQ(splash(0, nullptr, 4242, testing::fake_services()), 0);
  ASSERT_GE(g_world.checks.size(), 2u);
  EXPECT_LE(g_world.checks.front() - t0, input::kIdleWaitMs + 5) << "the first pass checks (after its idle wait)";
  for (size_t i = 1; i < g_world.checks.size(); ++i) {
    const uint32_t gap = g_world.checks[i] - g_world.checks[i - 1];
    EXPECT_GT(gap, 500u);
    EXPECT_LE(gap, 600u);
  }
  EXPECT_GE(g_world.checks.back() - t0, 2300u);
  EXPECT_LT(g_world.checks.back() - t0, 2300u + 600u);
  EXPECT_EQ(hl::now(), g_world.checks.back()) << "it returns at the check that saw the end";
}

TEST_F(Splash, ClicksOpenTheBandsTargetsOncePerPress) {
  const char* link = "http://link.example/";
  const uint32_t t0 = hl::now();
  // Held over the top band for over a second: one opening.
  hl::post_at(t0 + 100, hl::mouse_move(50, 100));
  hl::post_at(t0 + 100, hl::button_down(platform::kButtonLeft));
  hl::post_at(t0 + 1500, hl::button_up(platform::kButtonLeft));
  click(t0 + 1700, 50, 10);    // a new press: again
  click(t0 + 2000, 80, 300);   // the bottom band: the maker's page
  click(t0 + 2300, 50, 250);   // the middle: nothing
  hl::post_at(t0 + 2600, hl::mouse_move(5, 219));
  hl::post_at(t0 + 2600, hl::wheel(platform::kWheelStep));  // a wheel turn counts as a press
  EXPECT_EQ(splash(4, link, 0, testing::fake_services()), 1);
  EXPECT_EQ(g_world.links, (std::vector<std::string>{link, link, kMakerPage, link}));
}

TEST_F(Splash, WithoutALinkTheTopBandIsInactive) {
  const uint32_t t0 = hl::now();
  click(t0 + 100, 50, 100);
  click(t0 + 300, 50, 310);
  EXPECT_EQ(splash(1, nullptr, 0, testing::fake_services()), 1);
  EXPECT_EQ(g_world.links, (std::vector<std::string>{kMakerPage}));
}

TEST_F(Splash, PointingHandOverActiveBandsArrowElsewhere) {
  struct Case {
    int32_t y;
    bool link;
    platform::Cursor cursor;
  } const cases[] = {
      {100, true, platform::Cursor::kHand},  {100, false, platform::Cursor::kArrow},
      {250, true, platform::Cursor::kArrow}, {300, false, platform::Cursor::kHand},
      {219, true, platform::Cursor::kHand},  {294, true, platform::Cursor::kHand},
      {293, true, platform::Cursor::kArrow},
  };
  for (const Case& c : cases) {
    hl::post_at(hl::now() + 50, hl::mouse_move(40, c.y));
    splash(1, c.link ? "http://l.example/" : nullptr, 0, testing::fake_services());
    EXPECT_EQ(hl::cursor(), c.cursor) << "y " << c.y << (c.link ? " with" : " without") << " a link";
  }
}

}  // namespace
}  // namespace lumra::viewer
