// Key translation as one table: every key group under each modifier combination that picks a
// different code, the Alt+F4 rule, and the modifier keys' own effect on the state.
#include "framework/graphics/keys.h"

#include <gtest/gtest.h>

namespace lumra::graphics {
namespace {

using platform::kModAlt;
using platform::kModCapsLock;
using platform::kModCtrl;
using platform::kModScrollLock;
using platform::kModShift;
using platform::kVkCapital;
using platform::kVkControl;
using platform::kVkDelete;
using platform::kVkDown;
using platform::kVkEnd;
using platform::kVkEscape;
using platform::kVkF1;
using platform::kVkF12;
using platform::kVkHome;
using platform::kVkInsert;
using platform::kVkLeft;
using platform::kVkMenu;
using platform::kVkNext;
using platform::kVkPrior;
using platform::kVkReturn;
using platform::kVkRight;
using platform::kVkScroll;
using platform::kVkSemicolon;
using platform::kVkShift;
using platform::kVkTab;
using platform::kVkUp;

constexpr uint32_t S = kModShift, C = kModCtrl, A = kModAlt;

struct Case {
  const char* name;
  uint32_t modifiers;
  int32_t vk;
  int32_t code;
};

constexpr Case kCases[] = {
    // Function keys: Ctrl, then Shift, then Alt, then none.
    {"F1", 0, kVkF1, 0x3B00},
    {"F10", 0, kVkF1 + 9, 0x4400},
    {"F11", 0, kVkF1 + 10, 0x4500},
    {"F12", 0, kVkF12, 0x4600},
    {"Shift+F1", S, kVkF1, 0x5400},
    {"Shift+F10", S, kVkF1 + 9, 0x5D00},
    {"Ctrl+F1", C, kVkF1, 0x5E00},
    {"Ctrl+F2", C, kVkF1 + 1, 0x5F00},
    {"Ctrl+F10", C, kVkF1 + 9, 0x6700},
    {"Alt+F1", A, kVkF1, 0x6800},
    {"Alt+F10", A, kVkF1 + 9, 0x7100},
    {"Alt+F11", A, kVkF1 + 10, 0x7200},
    {"Ctrl+Shift+F1 takes Ctrl", C | S, kVkF1, 0x5E00},
    {"Shift+Alt+F2 takes Shift", S | A, kVkF1 + 1, 0x5500},
    {"Alt+F4 is the close request", A, kVkF1 + 3, kCodeWindowClose},
    {"Ctrl+Alt+F4 is Ctrl+F4", C | A, kVkF1 + 3, 0x6100},
    {"Shift+Alt+F4 is Shift+F4", S | A, kVkF1 + 3, 0x5700},
    {"Ctrl+F4", C, kVkF1 + 3, 0x6100},
    {"Alt+F4 with Caps Lock on", A | kModCapsLock, kVkF1 + 3, kCodeWindowClose},
    {"Shift+F11 has no code: F11", S, kVkF1 + 10, 0x4500},
    {"Ctrl+F11 has no code: F11", C, kVkF1 + 10, 0x4500},
    {"Ctrl+Alt+F11: Ctrl first, no code: F11", C | A, kVkF1 + 10, 0x4500},
    {"Shift+F12 has no code: F12", S, kVkF12, 0x4600},
    {"Alt+F12 has no code: F12", A, kVkF12, 0x4600},
    // Navigation keys: Ctrl, then Shift, then none; Alt is ignored.
    {"Page Up", 0, kVkPrior, 0x4900},
    {"Shift+Page Up", S, kVkPrior, 0x0CFF},
    {"Ctrl+Page Up", C, kVkPrior, 0x8400},
    {"Page Down", 0, kVkNext, 0x5100},
    {"Shift+Page Down", S, kVkNext, 0x0DFF},
    {"Ctrl+Page Down", C, kVkNext, 0x7600},
    {"End", 0, kVkEnd, 0x4F00},
    {"Shift+End", S, kVkEnd, 0x0BFF},
    {"Ctrl+End", C, kVkEnd, 0x7500},
    {"Home", 0, kVkHome, 0x4700},
    {"Shift+Home", S, kVkHome, 0x0AFF},
    {"Ctrl+Home", C, kVkHome, 0x7700},
    {"Left", 0, kVkLeft, 0x4B00},
    {"Shift+Left", S, kVkLeft, 0x07FF},
    {"Ctrl+Left", C, kVkLeft, 0x7300},
    {"Right", 0, kVkRight, 0x4D00},
    {"Shift+Right", S, kVkRight, 0x08FF},
    {"Ctrl+Right", C, kVkRight, 0x7400},
    {"Up", 0, kVkUp, 0x4800},
    {"Shift+Up", S, kVkUp, 0x06FF},
    {"Ctrl+Up ignores Ctrl", C, kVkUp, 0x4800},
    {"Ctrl+Shift+Up ignores Ctrl", C | S, kVkUp, 0x06FF},
    {"Down", 0, kVkDown, 0x5000},
    {"Shift+Down", S, kVkDown, 0x09FF},
    {"Ctrl+Down ignores Ctrl", C, kVkDown, 0x5000},
    {"Ins", 0, kVkInsert, 0x5200},
    {"Shift+Ins", S, kVkInsert, 0x02FF},
    {"Ctrl+Ins", C, kVkInsert, 0x01FF},
    {"Del", 0, kVkDelete, 0x5300},
    {"Shift+Del", S, kVkDelete, 0x04FF},
    {"Ctrl+Del", C, kVkDelete, 0x03FF},
    {"Alt+Left ignores Alt", A, kVkLeft, 0x4B00},
    // Digits: only with Alt.
    {"1 types a character", 0, '1', 0},
    {"Alt+1", A, '1', 0x7800},
    {"Alt+9", A, '9', 0x8000},
    {"Alt+0", A, '0', 0x8100},
    {"Ctrl+Alt+5", C | A, '5', 0x7C00},
    {"Ctrl+5 types", C, '5', 0},
    // Letters: Ctrl, then Alt.
    {"A types a character", 0, 'A', 0},
    {"Shift+A types a character", S, 'A', 0},
    {"Ctrl+A", C, 'A', 0x1E01},
    {"Ctrl+Z", C, 'Z', 0x2C1A},
    {"Ctrl+Q", C, 'Q', 0x1011},
    {"Alt+A", A, 'A', 0x1E00},
    {"Alt+M", A, 'M', 0x3200},
    {"Ctrl+Alt+A takes Ctrl", C | A, 'A', 0x1E01},
    {"Ctrl+Shift+B", C | S, 'B', 0x3002},
    // Everything else types or is ignored.
    {"Enter", 0, kVkReturn, 0},
    {"Escape", 0, kVkEscape, 0},
    {"Tab", 0, kVkTab, 0},
    {"above Scroll Lock", C, kVkScroll + 1, 0},
    {"Ctrl+semicolon is above Scroll Lock", C, kVkSemicolon, 0},
};

TEST(KeyTranslation, Table) {
  for (const Case& c : kCases) {
    uint32_t modifiers = c.modifiers;
    EXPECT_EQ(translate_key(c.vk, &modifiers), c.code) << c.name;
    EXPECT_EQ(modifiers, c.modifiers) << c.name << ": only modifier keys change the state";
  }
}

TEST(KeyTranslation, ModifierKeysSetAndToggle) {
  struct Step {
    int32_t vk;
    uint32_t after;
  };
  const Step steps[] = {
      {kVkShift, S}, {kVkControl, S | C}, {kVkMenu, S | C | A}, {kVkCapital, S | C | A | kModCapsLock},
      {kVkScroll, S | C | A | kModCapsLock | kModScrollLock}, {kVkCapital, S | C | A | kModScrollLock},
      {kVkScroll, S | C | A},
  };
  uint32_t modifiers = 0;
  for (const Step& s : steps) {
    EXPECT_EQ(translate_key(s.vk, &modifiers), 0);
    EXPECT_EQ(modifiers, s.after) << "after vk " << s.vk;
  }
}

TEST(KeyTranslation, LetterScanCodes) {
  const char* letters = "abcdefghijklmnopqrstuvwxyz";
  const int32_t scans[] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                           0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; ++i) {
    EXPECT_EQ(letter_scan_code(letters[i]), scans[i]) << letters[i];
    EXPECT_EQ(letter_scan_code(letters[i] - 32), scans[i]) << letters[i];
  }
  EXPECT_EQ(letter_scan_code('1'), 0);
}

TEST(KeyTranslation, LetterAndCodeConversions) {
  struct Conversion {
    int32_t in;
    int32_t alt;   // letter_to_alt_code
    int32_t ctrl;  // letter_to_ctrl_code
  };
  const Conversion cases[] = {
      {'a', 0x1E00, 0x1E01}, {'k', 0x2500, 0x250B}, {'z', 0x2C00, 0x2C1A}, {'1', 0x7800, '1'},
      {'9', 0x8000, '9'},    {'0', 0x8100, '0'},    {'A', 'A', 'A'},       {'!', '!', '!'},
      {0, 0, 0},             {0x3B00, 0x3B00, 0x3B00},
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(letter_to_alt_code(c.in), c.alt) << c.in;
    EXPECT_EQ(letter_to_ctrl_code(c.in), c.ctrl) << c.in;
    if (c.alt != c.in) {
      EXPECT_EQ(alt_code_to_letter(c.alt), c.in) << c.in;
    }
  }
  EXPECT_EQ(alt_code_to_letter(0x1E01), 0x1E01) << "a Ctrl code is no Alt code";
  EXPECT_EQ(alt_code_to_letter(0x8200), 0x8200);
  EXPECT_EQ(alt_code_to_letter('a'), 'a');
}

}  // namespace
}  // namespace lumra::graphics
