// Keyboard macros through the key poll: recording under a hot key with the Ctrl+F5 prompt,
// playback with peeks paced by a tenth of a second, the prompt's keys, the overflow that discards
// a macro, disabled macros, and the log commands' prompt.
#include <gtest/gtest.h>

#include <vector>

#include "framework/graphics/key_queue.h"
#include "framework/graphics/keys.h"
#include "framework/input/keyboard_macros.h"
#include "framework/input/key_poll.h"
#include "framework/input/macro_log.h"
#include "tests/input/keyboard_session.h"

namespace lumra::input {
namespace {

namespace hl = platform::headless;
using platform::kVkControl;
using platform::kVkF1;
using platform::kVkNext;
using platform::kVkPrior;
using platform::kVkShift;
using testing::MacroEvent;
using Events = std::vector<MacroEvent>;

constexpr int32_t kCtrlK = 0x250B;

class KeyboardMacros : public testing::KeyboardSession {
 protected:
  void press_ctrl_f5() { press(kVkF1 + 4, {kVkControl}); }
  void press_ctrl_k() { press('K', {kVkControl}); }
  // Ctrl+F5, Ctrl+K, "abc", Ctrl+F5, polled as a program waiting for keys does.
  void record_abc_under_ctrl_k() {
    press_ctrl_f5();
    press_ctrl_k();
    type("abc");
    press_ctrl_f5();
    EXPECT_EQ(wait_key(), 0) << "recording started";
    EXPECT_EQ(wait_key(), 'a');
    EXPECT_EQ(wait_key(), 'b');
    EXPECT_EQ(wait_key(), 'c');
    EXPECT_EQ(wait_key(), graphics::kCodeCtrlF5) << "ending the recording passes Ctrl+F5 on";
  }
};

TEST_F(KeyboardMacros, MacroKeys) {
  int count = 0;
  for (int32_t code = 0; code <= 0xFFFF; ++code) count += is_macro_key(code);
  EXPECT_EQ(count, 66);
  for (const int32_t code : {0x1E01, 0x2C1A, 0x3B00, 0x4400, 0x5400, 0x5D00, 0x5E00, 0x6200, 0x6700, 0x6800, 0x6B00,
                             0x7100}) {
    EXPECT_TRUE(is_macro_key(code)) << std::hex << code;
  }
  for (const int32_t code : {0x4500, 0x4600, 0x7200, 0x1E00, 0x61, 0x8100}) EXPECT_FALSE(is_macro_key(code)) << code;
}

TEST_F(KeyboardMacros, RecordedUnderCtrlKAndReplayedWithPacedPeeks) {
  record_abc_under_ctrl_k();
  EXPECT_EQ(g_keyboard.macro_state, kMacroIdle);
  const MacroSlot& slot = g_keyboard.slots[0];
  ASSERT_NE(slot.codes, nullptr);
  EXPECT_EQ(slot.key, kCtrlK);
  EXPECT_EQ(slot.count, 3);
  EXPECT_EQ(testing::g_macro_events, (Events{{4, 1, 0},
                                             {4, 0, 0},
                                             {1, 0, 0},
                                             {1, 1, 1024},
                                             {1, 2, 1024},
                                             {1, 3, 1024},
                                             {0, 0, 0}}));

  // Later, a program that peeks and takes what it sees.
  testing::g_macro_events.clear();
  press_ctrl_k();
  press('Z', {kVkControl});
  hl::set_now(script_end());
  graphics::pump_messages();
  EXPECT_EQ(peek_key(), 'a') << "the hot key starts playback";
  EXPECT_EQ(wait_key(), 'a');
  uint32_t delivered = hl::now();
  for (const int32_t expected : {'b', 'c'}) {
    int zero_peeks = 0;
    int32_t seen = 0;
    while ((seen = peek_key()) == 0) {
      ++zero_peeks;
      hl::advance(7);
      ASSERT_LT(zero_peeks, 1000);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_GT(hl::now() - delivered, 100u) << "a tenth of a second at least";
    EXPECT_LE(hl::now() - delivered, 114u) << "and not much more";
    EXPECT_GE(zero_peeks, 12) << "twelve peeks at least";
    EXPECT_EQ(wait_key(), expected);
    delivered = hl::now();
  }
  EXPECT_EQ(peek_key(), 0x2C1A) << "playback over: Ctrl+Z from the queue, Ctrl+K gone";
  EXPECT_EQ(g_keyboard.macro_state, kMacroIdle);
  EXPECT_EQ(testing::g_macro_events, (Events{{2, 0, 3}, {2, 1, 3}, {2, 2, 3}, {2, 3, 3}, {0, 0, 0}}));
}

TEST_F(KeyboardMacros, AWaitingPollStartsPlaybackAtTheSecondCode) {
  record_abc_under_ctrl_k();
  press_ctrl_k();
  EXPECT_EQ(wait_key(), 'a');
  EXPECT_EQ(g_keyboard.position, 1);
  EXPECT_EQ(wait_key(), 'b');
  EXPECT_EQ(wait_key(), 'c');
  type("d");
  EXPECT_EQ(wait_key(), 'd');
}

TEST_F(KeyboardMacros, PromptKeepsAskingUntilAMacroKeyOrEscape) {
  press_ctrl_f5();
  type("x");
  type("\x1b");
  type("y");
  EXPECT_EQ(wait_key(), graphics::kCodeCtrlF5) << "Escape ends the prompt; Ctrl+F5 goes on";
  EXPECT_EQ(g_keyboard.macro_state, kMacroIdle);
  EXPECT_EQ(testing::g_macro_events, (Events{{4, 1, 0}, {4, 0, 0}, {4, 1, 0}, {4, 0, 0}}));
  for (const MacroSlot& slot : g_keyboard.slots) EXPECT_EQ(slot.codes, nullptr);
  EXPECT_EQ(wait_key(), 'y');
}

TEST_F(KeyboardMacros, RecordingAgainUnderAKeyReusesItsSlot) {
  record_abc_under_ctrl_k();
  press_ctrl_f5();
  press_ctrl_k();
  type("q");
  press_ctrl_f5();
  press(kVkF1 + 1, {kVkShift});
  EXPECT_EQ(wait_key(), 0);
  EXPECT_EQ(wait_key(), 'q');
  EXPECT_EQ(wait_key(), graphics::kCodeCtrlF5);
  EXPECT_EQ(g_keyboard.slots[0].count, 1);
  EXPECT_EQ(g_keyboard.slots[1].codes, nullptr);
  EXPECT_EQ(wait_key(), 0x5500) << "Shift+F2 is no hot key yet";
}

TEST_F(KeyboardMacros, The1025thCodeDiscardsTheMacro) {
  press_ctrl_f5();
  press_ctrl_k();
  EXPECT_EQ(wait_key(), 0);
  for (int i = 0; i < 1025; ++i) hl::post_at(script_end() + 1 + i, hl::character('a' + i % 26));
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(wait_key(), 'a' + i % 26) << i;
  EXPECT_EQ(g_keyboard.slots[0].count, 1024);
  EXPECT_EQ(testing::g_macro_events.back(), (MacroEvent{1, 1024, 1024}));
  EXPECT_EQ(wait_key(), 'a' + 1024 % 26) << "the 1025th code still comes through";
  EXPECT_EQ(testing::g_macro_events.back(), (MacroEvent{0, 0, 0}));
  EXPECT_EQ(g_keyboard.macro_state, kMacroIdle);
  EXPECT_EQ(g_keyboard.slots[0].codes, nullptr) << "slot freed";
  EXPECT_EQ(g_keyboard.slots[0].key, 0);
  press_ctrl_k();
  EXPECT_EQ(wait_key(), kCtrlK) << "no macro left under Ctrl+K";
}

TEST_F(KeyboardMacros, PushedCodesAreNotRecorded) {
  press_ctrl_f5();
  press_ctrl_k();
  EXPECT_EQ(wait_key(), 0);
  push_key('p');
  EXPECT_EQ(wait_key(), 'p');
  type("r");
  EXPECT_EQ(wait_key(), 'r');
  EXPECT_EQ(g_keyboard.slots[0].count, 1);
  EXPECT_EQ(g_keyboard.slots[0].codes[0], 'r');
}

TEST_F(KeyboardMacros, DisabledMacrosSwallowCtrlF5) {
  set_macros_disabled(true);
  press_ctrl_f5();
  type("z");
  EXPECT_EQ(wait_key(), 0);
  EXPECT_TRUE(testing::g_macro_events.empty()) << "no prompt";
  EXPECT_EQ(wait_key(), 'z');
  set_macros_disabled(false);
}

TEST_F(KeyboardMacros, ShiftPageDownThenADigitArmsLogRecording) {
  press(kVkNext, {kVkShift});
  type("7");
  EXPECT_EQ(wait_key(), 0);
  EXPECT_EQ(macro_log_state(), kLogRecording);
  EXPECT_STREQ(g_input.macro.name, "lumra_macro_7.log");
  EXPECT_EQ(testing::g_macro_events, (Events{{4, 1, 0}, {4, 0, 0}, {1, 0, 0}}));
}

TEST_F(KeyboardMacros, ShiftPageDownThenALetterDoesNothing) {
  press(kVkNext, {kVkShift});
  type("x");
  type("w");
  EXPECT_EQ(wait_key(), 0);
  EXPECT_EQ(macro_log_state(), kLogOff);
  EXPECT_EQ(testing::g_macro_events, (Events{{4, 1, 0}, {4, 0, 0}}));
  EXPECT_EQ(wait_key(), 'w') << "the x went to the prompt";
}

TEST_F(KeyboardMacros, ShiftPageUpThenADigitArmsPlayback) {
  press(kVkPrior, {kVkShift});
  type("2");
  EXPECT_EQ(wait_key(), 0);
  EXPECT_EQ(macro_log_state(), kLogPlaying);
  EXPECT_STREQ(g_input.macro.name, "lumra_macro_2.log");
  EXPECT_EQ(testing::g_macro_events, (Events{{4, 1, 0}, {4, 0, 0}, {2, 0, 0}}));
}

TEST_F(KeyboardMacros, EitherLogKeyOnlyStopsAnActiveLog) {
  press(kVkNext, {kVkShift});
  type("1");
  EXPECT_EQ(wait_key(), 0);
  ASSERT_EQ(macro_log_state(), kLogRecording);
  testing::g_macro_events.clear();
  press(kVkPrior, {kVkShift});
  type("3");
  EXPECT_EQ(wait_key(), 0);
  EXPECT_EQ(macro_log_state(), kLogStopRequested);
  EXPECT_TRUE(testing::g_macro_events.empty()) << "no prompt";
  EXPECT_EQ(wait_key(), '3') << "the digit is an ordinary key; this poll's hook call stopped the log";
  EXPECT_EQ(macro_log_state(), kLogOff);
  EXPECT_EQ(testing::g_macro_events, (Events{{0, 0, 0}}));
}

}  // namespace
}  // namespace lumra::input
