// The key poll against a real X server (run under Xvfb, label "display"): keys typed by xdotool
// into the SDL2 window come out of the poll with the right codes and names, a keyboard macro is
// recorded and replayed from real keys, and holding Alt darkens the window on screen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "framework/graphics/back_buffer.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/window_proc.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "framework/input/key_names.h"
#include "framework/input/key_poll.h"
#include "framework/input/keyboard.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lumra::input {
namespace {

constexpr const char* kTitle = "Lumra key poll";
constexpr int32_t kProbeTimer = 777;

int shell(const std::string& command) { return std::system(command.c_str()); }

std::string name_of(int32_t code) {
  char name[kKeyNameMax + 1];
  key_name(code, name, sizeof name);
  return name;
}

::Display* g_x = nullptr;
Window g_window = 0;
std::vector<uint32_t> g_probed;

// 0xRRGGBB of the screen pixel at client (x, y) of the window.
uint32_t screen_pixel(int x, int y) {
  int ox = 0, oy = 0;
  Window child = 0;
  XTranslateCoordinates(g_x, g_window, DefaultRootWindow(g_x), x, y, &ox, &oy, &child);
  XImage* image = XGetImage(g_x, DefaultRootWindow(g_x), ox, oy, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFF000000u;
  const uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
  XDestroyImage(image);
  return pixel;
}

// Looks at the screen when the probe timer fires, which may be inside a poll that waits.
void probing_procedure(const platform::Message& m) {
  if (m.kind == platform::MessageKind::kTimer && m.a == kProbeTimer) {
    g_probed.push_back(screen_pixel(10, 10));
    return;
  }
  graphics::window_procedure(m);
}

class KeyPollOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    // The server starts over when its last client leaves (the previous test's); a connection
    // tried meanwhile is refused, so try again for a while.
    for (int i = 0; i < 100 && !g_x; ++i) {
      g_x = XOpenDisplay(nullptr);
      if (!g_x) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_NE(g_x, nullptr);
    platform::shutdown();
    graphics::graphics_reset();
    input_reset();
    keyboard_reset();
    ASSERT_TRUE(platform::use_backend(platform::sdl2::backend()));
    graphics::open_window(kTitle, 200, 120, 0, 0, -1, 0);
    ASSERT_EQ(graphics::g_graphics.gwin.opened, 0);
    g_window = find_window();
    ASSERT_NE(g_window, 0u);
    shell("xdotool windowfocus --sync " + std::to_string(g_window) + " 2>/dev/null");
    settle();
    while (graphics::input_waiting()) graphics::read_input(0);
  }
  void TearDown() override {
    keyboard_reset();
    graphics::graphics_reset();
    input_reset();
    platform::shutdown();
    if (g_x) XCloseDisplay(g_x);
    g_x = nullptr;
  }

  static void settle() {
    for (int i = 0; i < 5; ++i) delay(20);
  }

  static Window find_window() {
    Window root = 0, parent = 0, found = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(g_x, DefaultRootWindow(g_x), &root, &parent, &children, &n)) return 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(g_x, children[i], &name) && name) {
        if (std::string(name) == kTitle) found = children[i];
        XFree(name);
      }
    }
    if (children) XFree(children);
    return found;
  }

  // The codes the poll returns for the keys, peeking until one is there (two seconds at most
  // each), then taking it.
  static std::vector<int32_t> codes_for(const std::string& keys, size_t count) {
    shell("xdotool key --delay 30 " + keys);
    std::vector<int32_t> codes;
    const uint32_t t0 = read_clock();
    while (codes.size() < count && read_clock() - t0 < 2000 * count) {
      if (peek_key()) {
        codes.push_back(wait_key());
      } else {
        delay(10);
      }
    }
    settle();
    return codes;
  }
};

TEST_F(KeyPollOnScreen, TypedKeysComeOutWithTheirCodesAndNames) {
  struct Case {
    const char* keys;
    int32_t code;
    const char* name;
  };
  const Case cases[] = {
      {"F1", 0x3B00, "F1"},           {"a", 'a', "A"},
      {"shift+q", 'Q', "Q"},          {"ctrl+a", 0x1E01, "Ctrl+A"},
      {"alt+a", 0x1E00, "Alt+A"},     {"alt+0", 0x8100, "Alt+0"},
      {"ctrl+F2", 0x5F00, "Ctrl+F2"}, {"shift+F10", 0x5D00, "Shift+F10"},
      {"Return", 13, "Enter"},        {"BackSpace", 8, "Backspace"},
      {"Escape", 27, "ESC"},          {"space", ' ', "Space"},
      {"shift+Tab", 0x0F00, "Shift+Tab"}, {"Delete", 0x5300, "Del"},
      {"ctrl+Home", 0x7700, "Ctrl+Home"}, {"shift+Up", 0x06FF, "Shift+Up"},
  };
  for (const Case& c : cases) {
    const std::vector<int32_t> codes = codes_for(c.keys, 1);
    ASSERT_EQ(codes.size(), 1u) << c.keys;
    EXPECT_EQ(codes[0], c.code) << c.keys;
    EXPECT_EQ(name_of(codes[0]), c.name) << c.keys;
    EXPECT_EQ(peek_key(), 0) << c.keys << ": nothing more";
  }
}

TEST_F(KeyPollOnScreen, AMacroRecordedFromRealKeysPlaysBack) {
  // Typed in the background with pauses, as a person types while the poll waits: the prompt
  // drops keys typed ahead of it.
  shell("xdotool key ctrl+F5 sleep 0.4 key ctrl+k sleep 0.4 key x y sleep 0.4 key ctrl+F5 &");
  std::vector<int32_t> codes;
  for (int i = 0; i < 4; ++i) codes.push_back(wait_key());
  EXPECT_EQ(codes, (std::vector<int32_t>{0, 'x', 'y', 0x6200})) << "started, recorded, ended";
  EXPECT_EQ(g_keyboard.slots[0].count, 2);
  EXPECT_EQ(codes_for("ctrl+k", 2), (std::vector<int32_t>{'x', 'y'}));
}

TEST_F(KeyPollOnScreen, HoldingAltDarkensTheWindowOnScreen) {
  graphics::PaintBuffer& b = graphics::g_graphics.gwin.wmpaintdc;
  graphics::buffer_fill(&b, platform::Rect{0, 0, b.width, b.height}, 200, 100, 50);
  graphics::refresh_all();
  settle();
  ASSERT_EQ(screen_pixel(10, 10), 0xC86432u);
  g_probed.clear();
  platform::set_window_procedure(probing_procedure);
  shell("xdotool keydown alt sleep 2.5 keyup alt &");
  platform::set_timer(kProbeTimer, 1800);
  const uint32_t t0 = read_clock();
  while (read_clock() - t0 < 3500) {
    if (peek_key()) wait_key();
    delay(20);
  }
  platform::set_timer(kProbeTimer, 0);
  settle();
  ASSERT_EQ(g_probed.size(), 2u);
  EXPECT_EQ(g_probed[0], 0x643219u) << "darkened while Alt was held";
  EXPECT_EQ(g_probed[1], 0xC86432u) << "put back after";
}

}  // namespace
}  // namespace lumra::input
