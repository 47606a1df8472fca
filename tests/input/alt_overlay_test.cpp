// The Alt-hold overlay, watched on the headless frame while the poll waits inside it: shown after
// Alt is held alone for more than a second, darkening the window (and labelling the areas' items),
// gone when Alt is let go or a key arrives, never with Caps Lock on; the window comes back exact.
#include "framework/input/alt_overlay.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/graphics/back_buffer.h"
#include "framework/graphics/viewport.h"
#include "framework/graphics/window.h"
#include "framework/graphics/window_proc.h"
#include "framework/input/clickable_areas.h"
#include "framework/input/clock.h"
#include "framework/input/key_poll.h"
#include "tests/input/keyboard_session.h"

namespace lumra::input {
namespace {

namespace hl = platform::headless;
using platform::kVkCapital;
using platform::kVkF1;
using platform::kVkMenu;

constexpr uint32_t kPaper = 0xC86432;   // red 200, green 100, blue 50
constexpr uint32_t kDarker = 0x643219;  // half of each
constexpr uint32_t kWhite = 0xFFFFFF;

// What the frame showed when a probe message came through the window procedure.
struct Probe {
  uint32_t time;
  uint32_t pixel;
  uint32_t frame_at_item;
  uint32_t inner_frame;
  uint32_t inside_item;
  uint32_t skipped_item;
  int32_t label_white;  // white and black pixels inside the first item, below its frame
  int32_t label_black;
};
std::vector<Probe> g_probes;

void probing_procedure(const platform::Message& m) {
  if (m.kind == platform::MessageKind::kTimer && m.a == 777) {
    Probe p{hl::now(), hl::frame_pixel(5, 5), hl::frame_pixel(18, 28), hl::frame_pixel(19, 29),
            hl::frame_pixel(22, 32), hl::frame_pixel(5, 58), 0, 0};
    for (int32_t y = 30; y < 50; ++y) {
      for (int32_t x = 20; x < 60; ++x) {
        p.label_white += hl::frame_pixel(x, y) == 0xFFFFFF;
        p.label_black += hl::frame_pixel(x, y) == 0;
      }
    }
    g_probes.push_back(p);
    return;
  }
  graphics::window_procedure(m);
}

class AltOverlay : public testing::KeyboardSession {
 protected:
  void SetUp() override {
    KeyboardSession::SetUp();
    graphics::PaintBuffer& b = graphics::g_graphics.gwin.wmpaintdc;
    graphics::buffer_fill(&b, platform::Rect{0, 0, b.width, b.height}, 200, 100, 50);
    graphics::refresh_all();
    g_probes.clear();
    platform::set_window_procedure(probing_procedure);
    t0_ = hl::now();
  }
  void probe_at(uint32_t t) { hl::post_at(t0_ + t, platform::Message{platform::MessageKind::kTimer, 777, 0, 0, 0}); }
  // A program that peeks every 50 ms; the time each peek returned and what it returned.
  std::vector<std::pair<uint32_t, int32_t>> peek_until(uint32_t t) {
    std::vector<std::pair<uint32_t, int32_t>> returned;
    while (static_cast<int32_t>(hl::now() - (t0_ + t)) < 0) {
      const int32_t code = peek_key();
      returned.push_back({hl::now() - t0_, code});
      if (code) wait_key();
      delay(50);
    }
    return returned;
  }
  uint32_t t0_ = 0;
};

TEST_F(AltOverlay, AltHeldAloneDarkensTheWindowUntilItIsLetGo) {
  hl::post_at(t0_ + 10, hl::key_down(kVkMenu));
  hl::post_at(t0_ + 1510, hl::key_up(kVkMenu));
  for (const uint32_t t : {900u, 1200u, 1450u, 1600u}) probe_at(t);
  const graphics::Viewport viewport{3, 4, 50, 60};
  graphics::set_viewport(viewport.left, viewport.top, viewport.right, viewport.bottom);
  graphics::set_draw_through(0);
  const auto returned = peek_until(2000);
  ASSERT_EQ(g_probes.size(), 4u);
  EXPECT_EQ(g_probes[0].pixel, kPaper) << "not yet a second";
  EXPECT_EQ(g_probes[1].pixel, kDarker);
  EXPECT_EQ(g_probes[2].pixel, kDarker);
  EXPECT_EQ(g_probes[3].pixel, kPaper) << "put back when Alt was let go";
  // The poll that showed it returned when Alt came up, half a second after the hold's second.
  bool waited = false;
  for (size_t i = 1; i < returned.size(); ++i) waited = waited || returned[i].first - returned[i - 1].first > 300;
  EXPECT_TRUE(waited);
  EXPECT_EQ(graphics::g_graphics.gwin.wmpaintdc.pixels[0], 50) << "back buffer blue restored";
  const graphics::Viewport after = graphics::get_viewport();
  EXPECT_EQ(after.left, viewport.left) << "the program's viewport is given back";
  EXPECT_EQ(after.bottom, viewport.bottom);
  EXPECT_EQ(graphics::draw_through(), 0) << "and its draw-through setting";
  EXPECT_FALSE(g_keyboard.alt_held);
}

TEST_F(AltOverlay, NotWithCapsLockToggledOn) {
  hl::post_at(t0_ + 5, hl::key_down(kVkCapital));
  hl::post_at(t0_ + 6, hl::key_up(kVkCapital));
  hl::post_at(t0_ + 10, hl::key_down(kVkMenu));
  hl::post_at(t0_ + 1510, hl::key_up(kVkMenu));
  for (const uint32_t t : {1200u, 1450u}) probe_at(t);
  const uint32_t presents = hl::present_count();
  peek_until(2000);
  ASSERT_EQ(g_probes.size(), 2u);
  EXPECT_EQ(g_probes[0].pixel, kPaper);
  EXPECT_EQ(g_probes[1].pixel, kPaper);
  EXPECT_EQ(hl::present_count(), presents) << "nothing drawn";
}

TEST_F(AltOverlay, AKeyArrivingEndsItWhileAltIsStillHeld) {
  hl::post_at(t0_ + 10, hl::key_down(kVkMenu));
  hl::post_at(t0_ + 1300, hl::key_down(kVkF1 + 1));
  probe_at(1250);
  probe_at(1350);
  const auto returned = peek_until(1400);
  ASSERT_EQ(g_probes.size(), 2u);
  EXPECT_EQ(g_probes[0].pixel, kDarker);
  EXPECT_EQ(g_probes[1].pixel, kPaper);
  bool alt_f2 = false;
  for (const auto& r : returned) alt_f2 = alt_f2 || (r.first == 1300 && r.second == 0x6900);
  EXPECT_TRUE(alt_f2) << "the peek that showed the overlay returns the key that ended it";
}

TEST_F(AltOverlay, ItemsWithHotKeysAreFramedAndNamed) {
  static constexpr AreaItem kItems[] = {{'o', {20, 30, 40, 20}}, {0, {100, 100, 20, 20}}, {'s', {0, 60, 10, 10}}};
  static const ClickableAreas kRegistry{nullptr, [] { return 3; }, [](int32_t i) { return kItems[i]; },
                                        nullptr, nullptr, nullptr, nullptr};
  set_clickable_areas(&kRegistry);
  hl::post_at(t0_ + 10, hl::key_down(kVkMenu));
  hl::post_at(t0_ + 1510, hl::key_up(kVkMenu));
  probe_at(1300);
  probe_at(1600);
  peek_until(1700);
  ASSERT_EQ(g_probes.size(), 2u);
  EXPECT_EQ(g_probes[0].frame_at_item, kWhite) << "outer frame, two pixels out";
  EXPECT_EQ(g_probes[0].inner_frame, kWhite);
  EXPECT_EQ(g_probes[0].inside_item, kDarker);
  EXPECT_GT(g_probes[0].label_white, 5) << "the name O in white";
  EXPECT_GT(g_probes[0].label_black, g_probes[0].label_white) << "outlined in black";
  EXPECT_EQ(g_probes[0].skipped_item, kDarker) << "the item at x 0 gets no frame";
  EXPECT_EQ(g_probes[1].frame_at_item, kPaper) << "all put back";
  EXPECT_EQ(g_probes[1].inside_item, kPaper);
  EXPECT_EQ(g_probes[1].label_white, 0);
}

}  // namespace
}  // namespace lumra::input
