// The key poll on the headless backend: waiting and peeking, pushed codes, the final treatment of
// codes, the clickable areas' hot keys through a registry of the test's own, and key hooks.
#include "framework/input/key_poll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/key_queue.h"
#include "framework/graphics/keys.h"
#include "framework/input/clickable_areas.h"
#include "framework/input/key_hooks.h"
#include "tests/input/keyboard_session.h"

namespace lumra::input {
namespace {

namespace hl = platform::headless;
using platform::kVkControl;
using platform::kVkF1;
using platform::kVkMenu;

using KeyPoll = testing::KeyboardSession;

TEST_F(KeyPoll, WaitTakesAndPeekLeaves) {
  type("ab");
  EXPECT_EQ(peek_key(), 0) << "nothing has arrived yet at this time";
  EXPECT_EQ(wait_key(), 'a');
  EXPECT_EQ(hl::now(), script_end() - 40) << "waited for the first stroke's character";
  hl::set_now(script_end());
  while (!graphics::input_waiting()) peek_key();
  EXPECT_EQ(peek_key(), 'b');
  EXPECT_EQ(peek_key(), 'b');
  EXPECT_EQ(wait_key(), 'b');
  EXPECT_EQ(peek_key(), 0);
}

TEST_F(KeyPoll, WaitingWithNothingToComeReturnsZero) {
  EXPECT_EQ(wait_key(), 0) << "an exhausted script is input that can never arrive";
}

TEST_F(KeyPoll, PushedCodesComeFirstLatestFirst) {
  type("q");
  push_key(0);
  for (int32_t i = 1; i <= 33; ++i) push_key(i << 8);
  EXPECT_EQ(peek_key(), 32 << 8) << "the 33rd push is ignored";
  for (int32_t i = 32; i >= 1; --i) EXPECT_EQ(wait_key(), i << 8);
  EXPECT_EQ(wait_key(), 'q') << "then the queue";
  EXPECT_EQ(g_keyboard.pushed_count, 0);
}

TEST_F(KeyPoll, FinalTreatmentReducesCharacterCodes) {
  struct Case {
    int32_t pushed;
    int32_t returned;
  };
  const Case cases[] = {
      {0x1E61, 'a'},     {0x1C0D, 13},      {0x0E08, 8},     {0x011B, 27},     {0x3920, ' '},
      {0x35FE, 0xFE},    {0x3B00, 0x3B00},  {0x1E01, 0x1E01}, {0x0CFF, 0x0CFF}, {0x0F09, 0x0F09},
      {0x7FF0, 0x7FF0},  {0x7FF1, 0x7FF1},  {0x7FF2, 0x7FF2}, {0x10071, 'q'},   {-1, -1},
  };
  for (const Case& c : cases) {
    push_key(c.pushed);
    EXPECT_EQ(wait_key(), c.returned) << std::hex << c.pushed;
  }
}

TEST_F(KeyPoll, OtherModesAskTheQueueReader) {
  script({hl::key_down(kVkControl)});
  hl::set_now(script_end());
  EXPECT_EQ(key_poll(2), static_cast<int32_t>(platform::kModCtrl));
  EXPECT_EQ(key_poll(7), 0);
}

// A registry of three items with hot keys, the third without a place, and counters of its calls.
namespace areas {
bool exclusive = false;
int32_t level = 0;
std::vector<int32_t> activated;
int32_t pointer_cleared = 0;
int32_t help_taken_down = 0;
constexpr AreaItem kItems[] = {
    {'o', {10, 10, 40, 20}}, {graphics::kCodeF1 + 0x100, {10, 40, 40, 20}}, {'S', {0, 0, 0, 0}}};
const ClickableAreas kRegistry{
    [] { return exclusive; },
    [] { return 3; },
    [](int32_t i) { return kItems[i]; },
    [](int32_t i) { activated.push_back(i); },
    [] { ++pointer_cleared; },
    [] { ++help_taken_down; },
    [] { return level; },
};
void install() {
  exclusive = false;
  level = 0;
  activated.clear();
  pointer_cleared = help_taken_down = 0;
  set_clickable_areas(&kRegistry);
}
}  // namespace areas

TEST_F(KeyPoll, AreaHotKeysAreUsedUp) {
  areas::install();
  struct Case {
    int32_t code;
    int32_t returned;
    std::vector<int32_t> activated;
  };
  const Case cases[] = {
      {'o', 0, {0}},
      {'O', 0, {0}},
      {0x1800, 0, {0}},  // Alt+O, by its letter
      {0x3C00, 0, {1}},  // F2
      {'s', 0, {2}},
      {0x1F00, 0, {2}},  // Alt+S
      {'p', 'p', {}},
      {0x1801, 0x1801, {}},  // Ctrl+O is no Alt code
      {0x3C6F, 0, {0}},  // reduced to 'o' first
  };
  for (const Case& c : cases) {
    areas::activated.clear();
    push_key(c.code);
    EXPECT_EQ(wait_key(), c.returned) << std::hex << c.code;
    EXPECT_EQ(areas::activated, c.activated) << std::hex << c.code;
  }
  areas::exclusive = true;
  areas::activated.clear();
  push_key('o');
  EXPECT_EQ(wait_key(), 'o') << "exclusive mode";
  EXPECT_TRUE(areas::activated.empty());
}

TEST_F(KeyPoll, APeekThatUsesUpAHotKeyTakesItAway) {
  areas::install();
  type("oz");
  hl::set_now(script_end());
  graphics::pump_messages();
  EXPECT_EQ(peek_key(), 0);
  EXPECT_EQ(areas::activated, std::vector<int32_t>{0}) << "activated once, not again by the take";
  EXPECT_EQ(peek_key(), 'z');
  EXPECT_EQ(wait_key(), 'z');
}

TEST_F(KeyPoll, EventsAndEscapeClearThePointerOverAreasAndKeysTakeDownHelp) {
  areas::install();
  push_key(graphics::kCodeWindowClose);
  EXPECT_EQ(wait_key(), graphics::kCodeWindowClose);
  EXPECT_EQ(areas::pointer_cleared, 1);
  push_key(graphics::kCodeEscape);
  EXPECT_EQ(wait_key(), 27);
  EXPECT_EQ(areas::pointer_cleared, 2);
  EXPECT_EQ(areas::help_taken_down, 2);
  EXPECT_EQ(peek_key(), 0);
  EXPECT_EQ(areas::help_taken_down, 2) << "no key, no change";
  set_clickable_areas(nullptr);
  push_key('o');
  EXPECT_EQ(wait_key(), 'o') << "without a registry nothing is a hot key";
}

std::string g_calls;

int32_t tagged(int32_t code, intptr_t tag) {
  g_calls += static_cast<char>(tag);
  return code;
}

int32_t swallow(int32_t, intptr_t tag) {
  g_calls += static_cast<char>(tag);
  return 0;
}

int32_t shift_up(int32_t code, intptr_t) { return code + 1; }

int32_t polls_inside(int32_t code, intptr_t tag) {
  g_calls += static_cast<char>(tag);
  push_key('i');
  EXPECT_EQ(wait_key(), 'i') << "the poll inside does not reach this hook again";
  return code;
}

TEST_F(KeyPoll, HooksRunByLevelThenWithoutLevel) {
  areas::install();
  areas::level = 1;
  g_calls.clear();
  ASSERT_EQ(add_key_hook(kAnyKey, tagged, -1, 'N'), 1);
  ASSERT_EQ(add_key_hook(kAnyKey, tagged, 0, 'L'), 2);   // below the layer: skipped
  ASSERT_EQ(add_key_hook(kAnyKey, tagged, 1, 'A'), 3);
  ASSERT_EQ(add_key_hook('x', tagged, 5, 'X'), 4);       // only for x
  ASSERT_EQ(add_key_hook(kAnyKey, tagged, 2, 'B'), 5);
  ASSERT_EQ(add_key_hook(kAnyKey, tagged, -3, 'M'), 6);
  push_key('y');
  EXPECT_EQ(wait_key(), 'y');
  EXPECT_EQ(g_calls, "ABNM");
  g_calls.clear();
  push_key('x');
  EXPECT_EQ(wait_key(), 'x');
  EXPECT_EQ(g_calls, "AXBNM");
  g_calls.clear();
  ASSERT_EQ(enable_key_hook(5, false), 1);
  ASSERT_EQ(remove_key_hook(1), 1);
  EXPECT_EQ(remove_key_hook(1), 0);
  push_key('y');
  wait_key();
  EXPECT_EQ(g_calls, "AM");
  g_calls.clear();
  areas::exclusive = true;
  push_key('y');
  EXPECT_EQ(wait_key(), 'y');
  EXPECT_EQ(g_calls, "") << "exclusive mode runs no hooks";
}

TEST_F(KeyPoll, AHookChangesTheCodeOrSwallowsIt) {
  g_calls.clear();
  ASSERT_TRUE(add_key_hook('b', swallow, 0, 'S'));
  ASSERT_TRUE(add_key_hook('a', shift_up, 0, 0));
  ASSERT_TRUE(add_key_hook(kAnyKey, tagged, -1, 'T'));
  push_key('a');
  EXPECT_EQ(wait_key(), 'b') << "a became b; the swallowing hook came before and did not see it";
  EXPECT_EQ(g_calls, "T");
  g_calls.clear();
  type("bc");
  hl::set_now(script_end());
  graphics::pump_messages();
  EXPECT_EQ(peek_key(), 0);
  EXPECT_EQ(g_calls, "S") << "no hook after a swallowing one";
  EXPECT_EQ(peek_key(), 'c') << "the swallowed b was taken away";
}

TEST_F(KeyPoll, AHookIsSkippedWhileItRuns) {
  g_calls.clear();
  ASSERT_TRUE(add_key_hook(kAnyKey, polls_inside, 0, 'P'));
  push_key('o');
  EXPECT_EQ(wait_key(), 'o');
  EXPECT_EQ(g_calls, "P");
}

TEST_F(KeyPoll, SixtyThreeHooks) {
  for (int32_t i = 1; i <= kKeyHookSlots; ++i) EXPECT_EQ(add_key_hook(kAnyKey, tagged, 0, 'h'), i);
  EXPECT_EQ(add_key_hook(kAnyKey, tagged, 0, 'h'), 0);
  EXPECT_EQ(add_key_hook(kAnyKey, nullptr, 0, 0), 0);
  ASSERT_EQ(remove_key_hook(40), 1);
  EXPECT_EQ(add_key_hook(kAnyKey, tagged, 0, 'h'), 40);
  EXPECT_EQ(remove_key_hook(0), 0);
  EXPECT_EQ(remove_key_hook(64), 0);
}

TEST_F(KeyPoll, AltCodesFromTheWindowComeThrough) {
  press('X', {kVkMenu});
  press(kVkF1 + 1, {kVkControl});
  type("\x1b");
  EXPECT_EQ(wait_key(), 0x2D00);
  EXPECT_EQ(wait_key(), 0x5F00);
  EXPECT_EQ(wait_key(), 27);
}

}  // namespace
}  // namespace lumra::input
