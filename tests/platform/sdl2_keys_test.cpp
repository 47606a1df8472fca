// The SDL2 backend's pure translations, alone: SDL keys to virtual keys, the control characters
// SDL's text input leaves out, and which video drivers count as a display. Needs no display.
#include <gtest/gtest.h>

#include "platform/keys.h"
#include "platform/sdl2/sdl2.h"

namespace lumra::platform::sdl2 {
namespace {

TEST(Sdl2Keys, VirtualKeyTable) {
  struct Case {
    const char* key;       // SDL key name
    const char* scancode;  // SDL scancode name, for keys a layout may rename
    bool num_lock;
    int32_t vk;
  };
  const Case cases[] = {
      {"A", "A", false, 'A'},                 {"Z", "Z", false, 'Z'},
      {"0", "0", false, '0'},                 {"9", "9", false, '9'},
      {"F1", "F1", false, kVkF1},             {"F4", "F4", false, kVkF1 + 3},
      {"F12", "F12", false, kVkF12},          {"F13", "F13", false, kVkF13},
      {"Backspace", "", false, kVkBack},      {"Tab", "", false, kVkTab},
      {"Return", "", false, kVkReturn},       {"Keypad Enter", "", false, kVkReturn},
      {"Escape", "", false, kVkEscape},       {"Space", "", false, kVkSpace},
      {"PageUp", "", false, kVkPrior},        {"PageDown", "", false, kVkNext},
      {"End", "", false, kVkEnd},             {"Home", "", false, kVkHome},
      {"Left", "", false, kVkLeft},           {"Up", "", false, kVkUp},
      {"Right", "", false, kVkRight},         {"Down", "", false, kVkDown},
      {"Insert", "", false, kVkInsert},       {"Delete", "", false, kVkDelete},
      {"Left Shift", "", false, kVkShift},    {"Right Shift", "", false, kVkShift},
      {"Left Ctrl", "", false, kVkControl},   {"Right Ctrl", "", false, kVkControl},
      {"Left Alt", "", false, kVkMenu},       {"Right Alt", "", false, kVkMenu},
      {"CapsLock", "", false, kVkCapital},    {"ScrollLock", "", false, kVkScroll},
      {"Numlock", "", false, kVkNumLock},     {"Pause", "", false, kVkPause},
      {"Keypad 7", "", false, kVkHome},       {"Keypad 7", "", true, kVkNumpad0 + 7},
      {"Keypad 0", "", false, kVkInsert},     {"Keypad 0", "", true, kVkNumpad0},
      {"Keypad 5", "", false, kVkClear},      {"Keypad .", "", false, kVkDelete},
      {"Keypad .", "", true, kVkDecimal},     {"Keypad *", "", false, kVkMultiply},
      {"Keypad +", "", false, kVkAdd},        {"Keypad -", "", false, kVkSubtract},
      {"Keypad /", "", false, kVkDivide},     {";", "", false, kVkSemicolon},
      {"/", "", false, kVkSlash},             {"Menu", "", false, 0},
  };
  for (const Case& c : cases) {
    const int32_t key = keycode_from_name(c.key);
    ASSERT_NE(key, 0) << c.key;
    const int32_t scancode = c.scancode[0] ? scancode_from_name(c.scancode) : 0;
    EXPECT_EQ(virtual_key(key, scancode, c.num_lock), c.vk) << c.key << (c.num_lock ? " with Num Lock" : "");
  }
}

TEST(Sdl2Keys, NonLatinLetterFallsBackToItsPosition) {
  const int32_t cyrillic_ef = 0x0444;  // the key at A's place on a Russian layout
  EXPECT_EQ(virtual_key(cyrillic_ef, scancode_from_name("A"), false), 'A');
  EXPECT_EQ(virtual_key(cyrillic_ef, scancode_from_name("1"), false), '1');
  EXPECT_EQ(virtual_key(cyrillic_ef, 0, false), 0);
}

TEST(Sdl2Keys, ControlCharacters) {
  struct Case {
    int32_t vk;
    bool ctrl;
    bool alt;
    int32_t expected;
  };
  const Case cases[] = {
      {kVkBack, false, false, 8},    {kVkBack, true, false, 127},   {kVkTab, false, false, 9},
      {kVkTab, true, false, 0},      {kVkReturn, false, false, 13}, {kVkReturn, true, false, 10},
      {kVkEscape, false, false, 27}, {'A', true, false, 1},         {'Z', true, false, 26},
      {'A', false, false, 0},        {'A', true, true, 0},          {kVkBack, false, true, 0},
      {'5', true, false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(control_character(c.vk, c.ctrl, c.alt), c.expected) << c.vk << " ctrl " << c.ctrl << " alt " << c.alt;
  }
}

TEST(Sdl2Keys, WhichDriversAreADisplay) {
  struct Case {
    const char* driver;
    const char* requested;
    bool display;
  };
  const Case cases[] = {
      {"x11", nullptr, true},          {"wayland", "x11", true},           {"offscreen", nullptr, false},
      {"offscreen", "x11", false},     {"offscreen", "offscreen", true},   {"OFFSCREEN", "x11,Offscreen", true},
      {"dummy", nullptr, false},       {"dummy", "dummy", true},           {"offscreen", "offscreenx", false},
      {nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(driver_is_display(c.driver, c.requested), c.display)
        << (c.driver ? c.driver : "null") << " / " << (c.requested ? c.requested : "null");
  }
}

}  // namespace
}  // namespace lumra::platform::sdl2
