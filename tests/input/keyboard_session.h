// Test fixture for the key poll: the headless session with the splash window open, the keyboard
// state reset, a notifier that keeps every macro event, key strokes scripted as a window system
// delivers them (10 ms apart on the virtual clock), and a private current folder for macro logs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "framework/input/keyboard.h"
#include "framework/input/macro_notifier.h"
#include "platform/keys.h"
#include "tests/platform/headless_session.h"

namespace lumra::testing {

struct MacroEvent {
  int32_t event, a, b;
  bool operator==(const MacroEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const MacroEvent& e) {
  return out << "(" << e.event << ", " << e.a << ", " << e.b << ")";
}

inline std::vector<MacroEvent> g_macro_events;

class KeyboardSession : public HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    input::keyboard_reset();
    g_macro_events.clear();
    input::set_macro_notifier([](int32_t event, int32_t a, int32_t b) { g_macro_events.push_back({event, a, b}); });
    char pattern[] = "/tmp/lumra-keys-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    previous_folder_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    open_splash_window();
    next_ = platform::headless::now();
  }
  void TearDown() override {
    input::keyboard_reset();
    HeadlessSession::TearDown();
    std::filesystem::current_path(previous_folder_);
    std::filesystem::remove_all(folder_);
  }

  // Posts the messages 10 ms apart, after anything scripted before and after the present.
  void script(std::initializer_list<platform::Message> messages) {
    const uint32_t now = platform::headless::now();
    if (static_cast<int32_t>(now - next_) > 0) next_ = now;
    for (const platform::Message& m : messages) {
      next_ += 10;
      platform::headless::post_at(next_, m);
    }
  }
  // Typed characters, each as key down, character, key up.
  void type(const std::string& text) {
    namespace hl = platform::headless;
    for (const char c : text) {
      const int32_t vk = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
      script({hl::key_down(vk), hl::character(static_cast<uint8_t>(c)), hl::key_up(vk)});
    }
  }
  // A key pressed with modifier keys held (platform::kVk* values), as the window system sends it:
  // Ctrl with a letter also types the control character.
  void press(int32_t vk, std::initializer_list<int32_t> held = {}) {
    namespace hl = platform::headless;
    for (const int32_t m : held) script({hl::key_down(m)});
    script({hl::key_down(vk)});
    const bool ctrl = std::find(held.begin(), held.end(), platform::kVkControl) != held.end();
    if (ctrl && vk >= 'A' && vk <= 'Z') script({hl::character(vk - 'A' + 1)});
    script({hl::key_up(vk)});
    for (const int32_t m : held) script({hl::key_up(m)});
  }
  // Lets the virtual clock reach the end of the script.
  uint32_t script_end() const { return next_; }

  static std::string file_text(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::string folder_;
  std::filesystem::path previous_folder_;
  uint32_t next_ = 0;
};

}  // namespace lumra::testing
