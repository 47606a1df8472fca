// The platform core on the headless backend: backend choice, the message queue, text splitting,
// timers, waits on the virtual clock, and the headless window's frame.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/base/error.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"

namespace lumra::platform {
namespace {

namespace hl = headless;

std::vector<Message> g_seen;
void record(const Message& m) { g_seen.push_back(m); }

class Platform : public ::testing::Test {
 protected:
  void SetUp() override {
    shutdown();
    hl::reset();
    g_seen.clear();
    ASSERT_TRUE(use_backend(hl::backend()));
    set_window_procedure(record);
  }
  void TearDown() override {
    shutdown();
    hl::reset();
  }
  static void drain() {
    while (dispatch_one()) {
    }
  }
};

WindowSpec spec(int32_t w, int32_t h) { return WindowSpec{"t", 10, 20, w, h, false, false, false}; }

TEST(PlatformWithoutBackend, FailsInsteadOfCrashing) {
  shutdown();
  EXPECT_STREQ(backend_name(), "none");
  EXPECT_EQ(display_count(), 0);
  EXPECT_FALSE(open_window(spec(10, 10)));
  EXPECT_FALSE(window_open());
  const uint8_t px[3] = {};
  EXPECT_FALSE(present(PixelView{px, 1, 1, 3}, Rect{0, 0, 1, 1}));
  EXPECT_FALSE(set_cursor(Cursor::kHand));
  EXPECT_FALSE(warp_pointer(1, 1));
  EXPECT_FALSE(dispatch_one());
  EXPECT_FALSE(wait_message(kWaitForever)) << "nothing can arrive: no hang";
  const uint32_t t0 = ticks();
  EXPECT_FALSE(wait_message(2));
  EXPECT_GE(ticks() - t0, 1u) << "a bounded wait still waits";
}

TEST_F(Platform, ChoosingTwiceIsRefused) {
  EXPECT_STREQ(backend_name(), "headless");
  EXPECT_FALSE(use_backend(hl::backend()));
  EXPECT_STREQ(base::last_error(), "a platform backend is chosen already");
  shutdown();
  EXPECT_TRUE(use_backend(hl::backend()));
}

TEST_F(Platform, MessagesArriveInOrderOnePerDispatch) {
  hl::post(hl::key_down(65));
  hl::post(hl::character('a'));
  hl::post(hl::key_up(65));
  EXPECT_TRUE(dispatch_one());
  ASSERT_EQ(g_seen.size(), 1u);
  drain();
  ASSERT_EQ(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[0].kind, MessageKind::kKeyDown);
  EXPECT_EQ(g_seen[1].kind, MessageKind::kChar);
  EXPECT_EQ(g_seen[2].kind, MessageKind::kKeyUp);
}

TEST_F(Platform, QueuedPaintsMerge) {
  ASSERT_TRUE(send(hl::paint(10, 10, 5, 5)));
  ASSERT_TRUE(send(hl::mouse_move(1, 1)));
  ASSERT_TRUE(send(hl::paint(0, 12, 4, 10)));
  drain();
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].kind, MessageKind::kPaint);
  EXPECT_EQ(g_seen[0].a, 0);
  EXPECT_EQ(g_seen[0].b, 10);
  EXPECT_EQ(g_seen[0].c, 15);
  EXPECT_EQ(g_seen[0].d, 12);
}

TEST_F(Platform, TextSplitsIntoCharacters) {
  struct Case {
    const char* name;
    const char* utf8;
    std::vector<int32_t> expected;
  };
  const Case cases[] = {
      {"ascii", "ab", {'a', 'b'}},
      {"two and three bytes", "\xC3\xA9\xE2\x82\xAC", {0xE9, 0x20AC}},
      {"four bytes", "\xF0\x9F\x98\x80", {0x1F600}},
      {"stray continuation", "\x80x", {0xFFFD, 'x'}},
      {"overlong", "\xC0\xAF", {0xFFFD, 0xFFFD}},
      {"surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
      {"truncated", "\xE2\x82", {0xFFFD}},
  };
  for (const Case& c : cases) {
    g_seen.clear();
    ASSERT_TRUE(send_text(c.utf8, false)) << c.name;
    drain();
    std::vector<int32_t> got;
    for (const Message& m : g_seen) got.push_back(m.a);
    EXPECT_EQ(got, c.expected) << c.name;
  }
  g_seen.clear();
  send_text("a", true);
  drain();
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].kind, MessageKind::kSysChar);
}

TEST_F(Platform, FullQueueRefusesAndBackendHoldsBack) {
  int sent = 0;
  while (send(hl::mouse_move(sent, 0))) ++sent;
  EXPECT_EQ(sent, 1024);
  EXPECT_EQ(message_room(), 0);
  hl::post(hl::key_down(65));
  drain();
  EXPECT_EQ(g_seen.size(), 1025u) << "the scripted message waited for room";
  EXPECT_EQ(g_seen.back().kind, MessageKind::kKeyDown);
}

TEST_F(Platform, WaitMovesTheVirtualClockToTheNextMessage) {
  const uint32_t t0 = hl::now();
  hl::post_at(t0 + 30, hl::mouse_move(1, 2));
  EXPECT_TRUE(wait_message(100));
  EXPECT_EQ(hl::now() - t0, 30u);
  drain();
  EXPECT_FALSE(wait_message(100)) << "nothing more: the full timeout passes";
  EXPECT_EQ(hl::now() - t0, 130u);
  EXPECT_FALSE(wait_message(kWaitForever)) << "an exhausted script cannot hang a test";
}

TEST_F(Platform, ScriptRunsAcrossTheTickWrap) {
  hl::set_now(0xFFFFFFF0u);
  hl::post_at(0x10, hl::key_down(1));
  hl::post_at(0xFFFFFFF8u, hl::key_down(2));
  EXPECT_TRUE(wait_message(kWaitForever));
  EXPECT_EQ(hl::now(), 0xFFFFFFF8u);
  drain();
  EXPECT_TRUE(wait_message(kWaitForever));
  EXPECT_EQ(hl::now(), 0x10u);
  drain();
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].a, 2);
  EXPECT_EQ(g_seen[1].a, 1);
}

TEST_F(Platform, TimersEndWaitsAndCanBeKilled) {
  const uint32_t t0 = hl::now();
  ASSERT_TRUE(set_timer(7, 40));
  ASSERT_TRUE(set_timer(8, 20));
  EXPECT_TRUE(wait_message(1000));
  EXPECT_EQ(hl::now() - t0, 20u) << "the earlier timer ends the wait";
  drain();
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].kind, MessageKind::kTimer);
  EXPECT_EQ(g_seen[0].a, 8);
  ASSERT_TRUE(set_timer(7, 100));  // re-armed, not doubled
  hl::advance(100);
  EXPECT_TRUE(message_waiting());
  kill_timer(7);
  EXPECT_FALSE(dispatch_one()) << "killing a timer drops its queued message too";
}

TEST_F(Platform, HeadlessWindowKeepsPresentedPixels) {
  EXPECT_EQ(display_count(), 1);
  ASSERT_TRUE(open_window(spec(4, 3)));
  EXPECT_FALSE(open_window(spec(4, 3))) << "one window per run";
  uint8_t pixels[2 * 6] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  ASSERT_TRUE(present(PixelView{pixels, 2, 2, 6}, Rect{3, 2, 2, 2}));
  EXPECT_EQ(hl::frame_pixel(3, 2), 0x030201u);
  EXPECT_EQ(hl::frame_pixel(4, 2), 0xFF000000u) << "clipped to the client area";
  EXPECT_EQ(hl::last_present().w, 1);
  EXPECT_EQ(hl::last_present().h, 1);
  WindowInfo info{};
  hl::set_frame(2, 20, 2, 3);
  ASSERT_TRUE(window_info(&info));
  EXPECT_EQ(info.client.x, 10);
  EXPECT_EQ(info.window.x, 8);
  EXPECT_EQ(info.window.h, 3 + 23);
}

TEST_F(Platform, HeadlessWithoutDisplayOpensNothing) {
  hl::set_display_available(false);
  EXPECT_EQ(display_count(), 0);
  EXPECT_FALSE(open_window(spec(4, 3)));
  EXPECT_STREQ(base::last_error(), "no display");
}

TEST_F(Platform, WarpArrivesAsAMouseMove) {
  ASSERT_TRUE(open_window(spec(40, 30)));
  ASSERT_TRUE(warp_pointer(5, 6));
  drain();
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].kind, MessageKind::kMouseMove);
  EXPECT_EQ(g_seen[0].a, 5);
  EXPECT_EQ(g_seen[0].b, 6);
}

}  // namespace
}  // namespace lumra::platform
