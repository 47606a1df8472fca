// Test fixture for the launcher: the keyboard session (headless backend, splash window, a private
// current folder), small shell scripts written into that folder, a recorder for the output
// function that notes each line with the virtual clock and moves that clock on idle calls, and
// the process's open descriptors read from /proc.
//
// Real children run in real time while the launcher's timing runs on the virtual clock, which
// moves only when the recorder moves it. A test that needs the child to have done something by a
// virtual moment holds the clock there until the line it expects has arrived.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "framework/process/launcher.h"
#include "platform/headless/headless.h"
#include "platform/system/clock.h"
#include "tests/input/keyboard_session.h"

namespace lumra::testing {

struct SeenLine {
  int32_t kind;
  std::string text;
  uint32_t at;  // virtual clock when it was handed out
  bool operator==(const SeenLine& o) const { return kind == o.kind && text == o.text; }
};

inline std::ostream& operator<<(std::ostream& out, const SeenLine& l) {
  return out << "(" << l.kind << ", \"" << l.text << "\")";
}

// The output function's state. By default every call answers 0 and each idle call moves the
// virtual clock by `step_ms`; on_line and on_idle may answer otherwise.
struct Recorder {
  uint32_t step_ms = 0;
  std::vector<SeenLine> lines;
  int32_t idle_calls = 0;
  std::function<int32_t(Recorder&, const SeenLine&)> on_line;
  std::function<int32_t(Recorder&)> on_idle;

  static int32_t function(const char* text, void* data, int32_t kind) {
    Recorder& r = *static_cast<Recorder*>(data);
    if (kind == process::kIdleCall) {
      EXPECT_EQ(text, nullptr);
      ++r.idle_calls;
      if (r.on_idle) return r.on_idle(r);
      platform::headless::advance(r.step_ms);
      return 0;
    }
    r.lines.push_back({kind, text ? text : "(null)", platform::headless::now()});
    return r.on_line ? r.on_line(r, r.lines.back()) : 0;
  }

  const SeenLine* find(int32_t kind, const std::string& text) const {
    const auto it = std::find(lines.begin(), lines.end(), SeenLine{kind, text, 0});
    return it == lines.end() ? nullptr : &*it;
  }
  std::vector<SeenLine> of_kind(int32_t kind) const {
    std::vector<SeenLine> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [&](const SeenLine& l) { return l.kind == kind; });
    return out;
  }
};

class ProcessSession : public KeyboardSession {
 protected:
  void SetUp() override {
    KeyboardSession::SetUp();
    folder_ = std::filesystem::current_path().string();
  }

  // An executable "#!/bin/sh" script under the test's folder (sub-folders made as needed); its
  // absolute path.
  std::string script(const std::string& name, const std::string& body) const {
    const std::filesystem::path path = std::filesystem::path(folder_) / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
    return path.string();
  }
  std::string path(const std::string& name) const { return folder_ + "/" + name; }
  void touch(const std::string& name) const { std::ofstream(path(name)) << ""; }
  std::string read(const std::string& name) const { return file_text(path(name)); }

  // A key stroke that arrives at the current virtual time (key down, its character, key up).
  static void press_now(int32_t vk, int32_t character) {
    namespace hl = platform::headless;
    hl::post(hl::key_down(vk));
    if (character) hl::post(hl::character(character));
    hl::post(hl::key_up(vk));
  }

  // Polls until the condition holds, sleeping briefly: for what a child does in real time.
  static bool eventually(const std::function<bool()>& condition, uint32_t within_ms = 5000) {
    const uint64_t end = sys::monotonic_ms() + within_ms;
    while (!condition()) {
      if (sys::monotonic_ms() > end) return false;
      sys::sleep_ms(2);
    }
    return true;
  }

 private:
  std::string folder_;
};

// This process's open descriptors, by number.
inline std::vector<std::string> open_descriptors() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The state letter and process group of a process, from /proc; state 0 when it is gone.
struct ProcState {
  char state;
  long group;
};
inline ProcState proc_state(uint32_t id) {
  std::ifstream in("/proc/" + std::to_string(id) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t paren = text.rfind(')');
  if (paren == std::string::npos) return {0, 0};
  std::istringstream fields(text.substr(paren + 1));
  ProcState s{0, 0};
  long parent = 0;
  fields >> s.state >> parent >> s.group;
  return s;
}

}  // namespace lumra::testing
