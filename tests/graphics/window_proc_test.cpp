// The window procedure and the key queue on the headless backend: key strokes as a window system
// delivers them (key down, character, key up) become the right input codes; focus, close, the
// frame pointer, the full ring and the reader's three modes.
#include "framework/graphics/window_proc.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/graphics/keys.h"
#include "tests/platform/headless_session.h"

namespace lumra::graphics {
namespace {

namespace hl = platform::headless;
using Message = platform::Message;
using platform::kModAlt;
using platform::kModCapsLock;
using platform::kModCtrl;
using platform::kModScrollLock;
using platform::kModShift;
using platform::kVkCapital;
using platform::kVkControl;
using platform::kVkF1;
using platform::kVkMenu;
using platform::kVkReturn;
using platform::kVkScroll;
using platform::kVkShift;
using platform::kVkTab;

class WindowProcedure : public testing::HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    open_splash_window();
  }
  static void keys_reset_for_case() { g_graphics.keys = KeyQueue{}; }
  static std::vector<int32_t> run(std::initializer_list<Message> script) {
    for (const Message& m : script) hl::post(m);
    pump_messages();
    std::vector<int32_t> codes;
    while (g_graphics.keys.read != g_graphics.keys.write) codes.push_back(read_input(0));
    return codes;
  }
};

using Codes = std::vector<int32_t>;

TEST_F(WindowProcedure, KeyStrokes) {
  struct Case {
    const char* name;
    std::initializer_list<Message> script;
    Codes codes;
  };
  const Case cases[] = {
      {"Ctrl+A queues one code, not a second 1",
       {hl::key_down(kVkControl), hl::key_down('A'), hl::character(1), hl::key_up('A'), hl::key_up(kVkControl)},
       {0x1E01}},
      {"Shift+Tab",
       {hl::key_down(kVkShift), hl::key_down(kVkTab), hl::character('\t'), hl::key_up(kVkTab), hl::key_up(kVkShift)},
       {kCodeShiftTab}},
      {"Tab", {hl::key_down(kVkTab), hl::character('\t'), hl::key_up(kVkTab)}, {kCodeTab}},
      {"Alt+F4 is the close request",
       {hl::key_down(kVkMenu), hl::key_down(kVkF1 + 3), hl::key_up(kVkF1 + 3), hl::key_up(kVkMenu)},
       {kCodeWindowClose}},
      {"Ctrl+Alt+F4",
       {hl::key_down(kVkControl), hl::key_down(kVkMenu), hl::key_down(kVkF1 + 3), hl::key_up(kVkMenu),
        hl::key_up(kVkControl)},
       {0x6100}},
      {"Shift+Alt+F4",
       {hl::key_down(kVkShift), hl::key_down(kVkMenu), hl::key_down(kVkF1 + 3), hl::key_up(kVkMenu),
        hl::key_up(kVkShift)},
       {0x5700}},
      {"a letter", {hl::key_down('A'), hl::character('a'), hl::key_up('A')}, {'a'}},
      {"a character converts to OEM", {hl::character(0xE9)}, {0x82}},
      {"a character 1252 lacks becomes ?", {hl::character(0x4E2D)}, {'?'}},
      {"Alt+X types no text", {hl::key_down(kVkMenu), hl::key_down('X'), hl::system_character('x')}, {0x2D00}},
      {"the drop applies to the next character only",
       {hl::key_down(kVkControl), hl::key_down('B'), hl::key_up(kVkControl), hl::character('x'), hl::character(2)},
       {0x3002, 'x', 2}},
      {"a new key press clears the drop",
       {hl::key_down(kVkControl), hl::key_down('C'), hl::key_up(kVkControl), hl::key_down(kVkReturn),
        hl::character(3)},
       {0x2E03, 3}},
      {"F1", {hl::key_down(kVkF1)}, {0x3B00}},
      {"NUL is queued", {hl::character(0)}, {0}},
  };
  for (const Case& c : cases) {
    keys_reset_for_case();
    EXPECT_EQ(run(c.script), c.codes) << c.name;
  }
}

TEST_F(WindowProcedure, CharactersPassThroughWindowsToOem) {
  const int32_t euro_oem = text::windows_char_to_oem(0x80);
  EXPECT_EQ(run({hl::character(0x20AC)}), Codes{euro_oem}) << "the euro sign is Windows 0x80";
  EXPECT_EQ(run({hl::character(0xFFFD)}), Codes{'?'});
}

TEST_F(WindowProcedure, CloseBoxQueuesTheCloseCodeAndTheWindowStays) {
  EXPECT_EQ(run({hl::close_request()}), Codes{kCodeWindowClose});
  EXPECT_EQ(g_graphics.gwin.opened, 0);
  EXPECT_TRUE(platform::window_open());
}

TEST_F(WindowProcedure, FocusLossClearsAndGainRebuildsModifiers) {
  run({hl::key_down(kVkShift), hl::key_down(kVkControl), hl::key_down(kVkCapital), hl::key_down(kVkScroll)});
  EXPECT_EQ(g_graphics.keys.modifiers, kModShift | kModCtrl | kModCapsLock | kModScrollLock);
  run({hl::focus_lost()});
  EXPECT_EQ(g_graphics.keys.modifiers, 0u);
  run({hl::key_down(kVkCapital), hl::focus_gained(kModAlt | kModShift)});
  EXPECT_EQ(g_graphics.keys.modifiers, kModAlt | kModShift) << "held keys rebuilt, Caps Lock bit cleared";
  EXPECT_EQ(run({hl::key_down(kVkF1 + 3)}), Codes{0x5700}) << "the rebuilt state is used";
}

TEST_F(WindowProcedure, KeyUpClearsOnlyItsModifier) {
  run({hl::key_down(kVkShift), hl::key_down(kVkControl), hl::key_down(kVkMenu), hl::key_down(kVkCapital)});
  run({hl::key_up(kVkControl), hl::key_up(kVkCapital)});
  EXPECT_EQ(g_graphics.keys.modifiers, kModShift | kModAlt | kModCapsLock);
  EXPECT_EQ(read_input(2), static_cast<int32_t>(kModShift | kModAlt | kModCapsLock));
}

TEST_F(WindowProcedure, FramePointerPositionsAreClamped) {
  hl::set_frame(4, 24, 4, 4);
  const platform::Rect client = g_graphics.gwin.window_info.client;
  struct Case {
    int32_t screen_x, screen_y, x, y;
  };
  const Case cases[] = {
      {client.x - 3, client.y - 20, 0, 0},
      {client.x + 500, client.y + 1000, 163, 313},
      {client.x + 163, client.y + 313, 163, 313},
      {client.x + 164, client.y + 314, 163, 313},
      {client.x + 10, client.y - 1, 10, 0},
  };
  for (const Case& c : cases) {
    run({hl::frame_mouse_move(c.screen_x, c.screen_y)});
    EXPECT_EQ(input::g_input.mouse.x, c.x) << c.screen_x;
    EXPECT_EQ(input::g_input.mouse.y, c.y) << c.screen_y;
  }
}

TEST_F(WindowProcedure, FullRingKeepsUnreadCodesAndDropsTheNewest) {
  for (int i = 0; i < 300; ++i) queue_code(0x100 + i);
  EXPECT_EQ(g_graphics.keys.dropped, 45u);
  for (int i = 0; i < 255; ++i) ASSERT_EQ(read_input(0), 0x100 + i) << i;
  EXPECT_EQ(read_input(1), 0) << "empty after the 255 that fit";
  EXPECT_TRUE(queue_code(0x500));
  EXPECT_EQ(read_input(0), 0x500);
}

TEST_F(WindowProcedure, ReaderModes) {
  EXPECT_EQ(read_input(1), 0);
  hl::post(hl::character('q'));
  hl::post(hl::character('r'));
  EXPECT_EQ(read_input(1), 0) << "a peek on an empty queue dispatches one message and reports 0";
  EXPECT_EQ(read_input(1), 'q');
  EXPECT_EQ(read_input(1), 'q') << "a peek does not take";
  EXPECT_EQ(read_input(0), 'q');
  EXPECT_EQ(read_input(0), 'r') << "a wait dispatches until a code is there";
  hl::post_at(hl::now() + 250, hl::character('s'));
  const uint32_t t0 = hl::now();
  EXPECT_EQ(read_input(0), 's');
  EXPECT_EQ(hl::now() - t0, 250u);
  EXPECT_EQ(read_input(0), 0) << "nothing can arrive any more";
  EXPECT_EQ(read_input(3), 0);
  EXPECT_EQ(read_input(-1), 0);
}

TEST_F(WindowProcedure, BoundedPumpStopsAt256) {
  for (int i = 0; i < 300; ++i) hl::post(hl::character('a'));
  EXPECT_EQ(pump_messages(), 1);
  EXPECT_EQ(g_graphics.keys.write - g_graphics.keys.read, 255u) << "255 queued, one dropped";
  EXPECT_EQ(hl::pending() + 0, 0);
  int left = 0;
  while (platform::dispatch_one()) ++left;
  EXPECT_EQ(left, 44);
}

TEST_F(WindowProcedure, MouseMessagesSetTheMouseState) {
  run({hl::mouse_move(12, 34), hl::button_down(platform::kButtonLeft)});
  EXPECT_EQ(input::g_input.mouse.x, 12);
  EXPECT_EQ(input::g_input.mouse.y, 34);
  EXPECT_EQ(input::g_input.mouse.buttons, 1);
  EXPECT_EQ(input::g_input.mouse.latch, 1);
  EXPECT_EQ(input::g_input.mouse.last_press_time, hl::now());
  run({hl::wheel(-120)});
  EXPECT_EQ(input::g_input.mouse.buttons, 1 | 8);
  EXPECT_EQ(input::g_input.mouse.latch, 1) << "a wheel turn leaves the latch alone";
  run({hl::button_down(platform::kButtonMiddle), hl::wheel(0), hl::button_up(platform::kButtonLeft)});
  EXPECT_EQ(input::g_input.mouse.buttons, 4) << "a release clears its button and both wheel bits";
}

}  // namespace
}  // namespace lumra::graphics
