// Tooltips on the headless backend: the list operations, and the popup that appears over the
// presented frame after the pointer rests in a tool, without touching the back buffer.
#include "framework/graphics/tooltips.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/platform/headless_session.h"

namespace lumra::graphics {
namespace {

namespace hl = platform::headless;

class Tooltip : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    open_splash_window();
    buffer_fill(&g_graphics.gwin.wmpaintdc, platform::Rect{0, 0, 164, 314}, 40, 80, 120);
    refresh_all();
    background_hash_ = hl::frame_hash();
  }
  // Lets the virtual clock run `ms` with the message loop going, as a polling loop would.
  static void idle(uint32_t ms) {
    const uint32_t end = hl::now() + ms;
    while (static_cast<int32_t>(end - hl::now()) > 0) {
      platform::wait_message(end - hl::now());
      pump_messages();
    }
  }
  static std::string text_of(int32_t id) {
    char buffer[600] = {};
    EXPECT_TRUE(tooltip_text(id, buffer, sizeof buffer));
    return buffer;
  }
  uint64_t background_hash_ = 0;
};

TEST(TooltipWithoutWindow, AddFails) {
  graphics_reset();
  EXPECT_EQ(add_tooltip(0, 0, 10, 10, "x", 0), 0);
}

TEST_F(Tooltip, IdsAreTheLowestFree) {
  EXPECT_EQ(add_tooltip(0, 0, 10, 10, "a", 0), 1);
  EXPECT_EQ(add_tooltip(0, 0, 10, 10, "b", 0), 2);
  EXPECT_EQ(add_tooltip(0, 0, 10, 10, "c", 0), 3);
  EXPECT_EQ(remove_tooltip(2), 1);
  EXPECT_EQ(remove_tooltip(2), 0);
  EXPECT_EQ(add_tooltip(0, 0, 10, 10, "d", 0), 2);
  EXPECT_EQ(text_of(2), "d");
  EXPECT_EQ(text_of(3), "c");
  EXPECT_EQ(activate_tooltip(9, 1), 0);
  char buffer[4] = "xyz";
  EXPECT_EQ(tooltip_text(9, buffer, sizeof buffer), 0);
}

TEST_F(Tooltip, TextIsCutTo511AndConvertedToWindows) {
  const std::string long_text(600, 'x');
  const int32_t id = add_tooltip(0, 0, 10, 10, long_text.c_str(), 0);
  EXPECT_EQ(text_of(id), std::string(511, 'x'));
  const int32_t accented = add_tooltip(0, 0, 10, 10, "Caf\x82", 0);
  EXPECT_EQ(text_of(accented), "Caf\xE9");
  char small[4] = {};
  EXPECT_EQ(tooltip_text(accented, small, sizeof small), 1);
  EXPECT_STREQ(small, "Caf") << "at most size - 1 characters, terminated";
}

TEST_F(Tooltip, PopupAppearsAfterTheRestAndLeavesTheBackBufferAlone) {
  add_tooltip(10, 10, 60, 40, "Open the link", 0);
  const uint64_t buffer_hash = [] {
    uint64_t h = 0;
    const PaintBuffer& b = g_graphics.gwin.wmpaintdc;
    for (int32_t i = 0; i < b.stride * b.height; ++i) h = h * 31 + b.pixels[i];
    return h;
  }();
  hl::post(hl::mouse_move(20, 20));
  pump_messages();
  idle(kTooltipInitialMs - 1);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0) << "not before the pointer has rested";
  idle(1);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 1);
  const platform::Rect r = g_graphics.tooltips.popup_rect;
  EXPECT_EQ(r.y, 40) << "below the pointer";
  EXPECT_EQ(hl::frame_pixel(r.x, r.y), 0x000000u) << "border";
  EXPECT_EQ(hl::frame_pixel(r.x + 1, r.y + 1), 0xFFFFE1u) << "background";
  EXPECT_NE(hl::frame_hash(), background_hash_);
  uint64_t after = 0;
  const PaintBuffer& b = g_graphics.gwin.wmpaintdc;
  for (int32_t i = 0; i < b.stride * b.height; ++i) after = after * 31 + b.pixels[i];
  EXPECT_EQ(after, buffer_hash) << "the popup is never drawn into the back buffer";
  refresh_all();
  EXPECT_EQ(hl::frame_pixel(r.x + 1, r.y + 1), 0xFFFFE1u) << "a refresh keeps the popup on top";
  hl::post(hl::mouse_move(150, 300));
  pump_messages();
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0);
  EXPECT_EQ(hl::frame_hash(), background_hash_) << "leaving the tool restores the frame";
}

TEST_F(Tooltip, MovingInsideRestartsTheRest) {
  add_tooltip(10, 10, 60, 40, "tip", 0);
  hl::post(hl::mouse_move(20, 20));
  hl::post_at(hl::now() + 300, hl::mouse_move(21, 20));
  pump_messages();
  idle(700);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0) << "300 + 400 ms: the move restarted the wait";
  idle(100);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 1);
}

TEST_F(Tooltip, PressHidesAndTheToolStaysQuietUntilLeft) {
  add_tooltip(10, 10, 60, 40, "tip", 0);
  hl::post(hl::mouse_move(20, 20));
  pump_messages();
  idle(600);
  ASSERT_EQ(g_graphics.tooltips.shown_id, 1);
  hl::post(hl::button_down(platform::kButtonLeft));
  pump_messages();
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0);
  EXPECT_EQ(hl::frame_hash(), background_hash_);
  hl::post(hl::mouse_move(22, 20));
  pump_messages();
  idle(2000);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0);
  hl::post(hl::mouse_move(100, 200));
  hl::post(hl::mouse_move(20, 20));
  pump_messages();
  idle(600);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 1) << "back in after leaving";
}

TEST_F(Tooltip, PopupGoesAfterFiveSeconds) {
  add_tooltip(10, 10, 60, 40, "tip", 0);
  hl::post(hl::mouse_move(20, 20));
  pump_messages();
  idle(kTooltipInitialMs);
  ASSERT_EQ(g_graphics.tooltips.shown_id, 1);
  idle(kTooltipAutoPopMs - 1);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 1);
  idle(1);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0);
  idle(1000);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0) << "no reshow while the pointer stays";
}

TEST_F(Tooltip, ToolRectangleIsOnePixelShort) {
  add_tooltip(10, 10, 60, 40, "tip", 0);
  struct Case {
    int32_t x, y;
    bool inside;
  };
  const Case cases[] = {{10, 10, true}, {68, 48, true}, {69, 20, false}, {20, 49, false}, {9, 20, false}};
  for (const Case& c : cases) {
    hl::post(hl::mouse_move(100, 200));
    hl::post(hl::mouse_move(c.x, c.y));
    pump_messages();
    EXPECT_EQ(g_graphics.tooltips.hover_id != 0, c.inside) << c.x << "," << c.y;
  }
}

TEST_F(Tooltip, LevelsAndActivation) {
  const int32_t low = add_tooltip(0, 0, 50, 50, "low", 1);
  const int32_t high = add_tooltip(60, 0, 50, 50, "high", 3);
  show_tooltips_from_level(2);
  hl::post(hl::mouse_move(5, 5));
  pump_messages();
  idle(600);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0) << "level 1 is below 2";
  hl::post(hl::mouse_move(70, 5));
  pump_messages();
  idle(600);
  EXPECT_EQ(g_graphics.tooltips.shown_id, high);
  EXPECT_EQ(activate_tooltip(high, 0), 1);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0) << "deactivating hides it";
  EXPECT_EQ(hl::frame_hash(), background_hash_);
  EXPECT_EQ(activate_tooltip(low, 1), 1);
  hl::post(hl::mouse_move(5, 6));
  pump_messages();
  idle(600);
  EXPECT_EQ(g_graphics.tooltips.shown_id, low);
  EXPECT_EQ(remove_tooltip(low), 1);
  EXPECT_EQ(g_graphics.tooltips.shown_id, 0);
  EXPECT_EQ(hl::frame_hash(), background_hash_);
}

TEST_F(Tooltip, PopupStaysInsideTheWindowAndWraps) {
  add_tooltip(0, 250, 164, 64, "a rather long tooltip text that has to wrap", 0);
  hl::post(hl::mouse_move(150, 300));
  pump_messages();
  idle(600);
  ASSERT_EQ(g_graphics.tooltips.shown_id, 1);
  const platform::Rect r = g_graphics.tooltips.popup_rect;
  EXPECT_LE(r.x + r.w, 163);
  EXPECT_LE(r.y + r.h, 300) << "above the pointer when there is no room below";
  EXPECT_GE(r.x, 0);
  EXPECT_LE(r.w, 164 / 4 + 6 * 3) << "about a quarter of the window wide";
  EXPECT_GT(r.h, 30) << "several lines";
}

}  // namespace
}  // namespace lumra::graphics
