// The SDL2 backend's pure translations, alone: SDL keys to virtual keys, the control characters
// SDL's text input leaves out, and which video drivers count as a display. Needs no display.
#include <gtest/gtest.h>

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
      {"A", "A", false, 'A'},          {"Z", "Z", false, 'Z'},           {"0", "0", false, '0'},
      {"9", "9", false, '9'},          {"F1", "F1", false, 112},         {"F4", "F4", false, 115},
      {"F12", "F12", false, 123},      {"F13", "F13", false, 124},       {"Backspace", "", false, 8},
      {"Tab", "", false, 9},           {"Return", "", false, 13},        {"Keypad Enter", "", false, 13},
      {"Escape", "", false, 27},       {"Space", "", false, 32},         {"PageUp", "", false, 33},
      {"PageDown", "", false, 34},     {"End", "", false, 35},           {"Home", "", false, 36},
      {"Left", "", false, 37},         {"Up", "", false, 38},            {"Right", "", false, 39},
      {"Down", "", false, 40},         {"Insert", "", false, 45},        {"Delete", "", false, 46},
      {"Left Shift", "", false, 16},   {"Right Shift", "", false, 16},   {"Left Ctrl", "", false, 17},
      {"Right Ctrl", "", false, 17},   {"Left Alt", "", false, 18},      {"Right Alt", "", false, 18},
      {"CapsLock", "", false, 20},     {"ScrollLock", "", false, 145},   {"Numlock", "", false, 144},
      {"Pause", "", false, 19},        {"Keypad 7", "", false, 36},      {"Keypad 7", "", true, 103},
      {"Keypad 0", "", false, 45},     {"Keypad 0", "", true, 96},       {"Keypad 5", "", false, 12},
      {"Keypad .", "", false, 46},     {"Keypad .", "", true, 110},      {"Keypad *", "", false, 106},
      {"Keypad +", "", false, 107},    {"Keypad -", "", false, 109},     {"Keypad /", "", false, 111},
      {";", "", false, 186},           {"/", "", false, 191},            {"Menu", "", false, 0},
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
      {8, false, false, 8}, {8, true, false, 127}, {9, false, false, 9},  {9, true, false, 0},
      {13, false, false, 13}, {13, true, false, 10}, {27, false, false, 27}, {'A', true, false, 1},
      {'Z', true, false, 26}, {'A', false, false, 0}, {'A', true, true, 0},  {8, false, true, 0},
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
