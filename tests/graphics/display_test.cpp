// The SDL2 backend against a real X server (run under Xvfb, label "display"): the splash-sized
// window, exact pixels on screen (read back with xwd), keys typed by xdotool (XTEST), the close
// protocol a window manager's close box uses, SIGINT, pointer warps and a tooltip on screen.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/graphics/graphics.h"
#include "framework/graphics/keys.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "framework/input/mouse.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lumra::graphics {
namespace {

constexpr const char* kTitleOem = "Lumra display \x82";        // OEM 0x82 is e acute
constexpr const char* kTitleUtf8 = "Lumra display \xC3\xA9";

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// A root-window screenshot taken by xwd, decoded to 0xRRGGBB pixels.
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

uint32_t be32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8 | static_cast<uint8_t>(s[at + 3]);
}

bool screenshot(Screenshot* shot) {
  const std::string xwd = run("xwd -root -silent");
  if (xwd.size() < 100) {
    ADD_FAILURE() << "xwd gave " << xwd.size() << " bytes";
    return false;
  }
  uint32_t h[25];
  for (int i = 0; i < 25; ++i) h[i] = be32(xwd, static_cast<size_t>(i) * 4);
  const uint32_t header_size = h[0], width = h[4], height = h[5], byte_order = h[7], bpp = h[11];
  const uint32_t bytes_per_line = h[12], red_mask = h[14], green_mask = h[15], blue_mask = h[16], ncolors = h[19];
  const size_t data = header_size + static_cast<size_t>(ncolors) * 12;
  const uint32_t bytes = bpp / 8;
  if ((bpp != 24 && bpp != 32) || red_mask != 0xFF0000 || green_mask != 0xFF00 || blue_mask != 0xFF ||
      xwd.size() < data + static_cast<size_t>(bytes_per_line) * height || bytes_per_line < width * bytes) {
    ADD_FAILURE() << "xwd: " << xwd.size() << " bytes, " << bpp << " bits per pixel, masks " << std::hex << red_mask
                  << " " << green_mask << " " << blue_mask;
    return false;
  }
  shot->width = static_cast<int>(width);
  shot->height = static_cast<int>(height);
  shot->pixels.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const auto* p = reinterpret_cast<const uint8_t*>(xwd.data() + data + static_cast<size_t>(y) * bytes_per_line + x * bytes);
      uint32_t v = 0;
      for (uint32_t i = 0; i < bytes; ++i) {
        v |= static_cast<uint32_t>(p[i]) << (byte_order == 0 ? 8 * i : 8 * (bytes - 1 - i));
      }
      shot->pixels[static_cast<size_t>(y) * width + x] = v & 0xFFFFFF;
    }
  }
  return true;
}

class OnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    x_ = XOpenDisplay(nullptr);
    ASSERT_NE(x_, nullptr);
    platform::shutdown();
    graphics_reset();
    input::input_reset();
    ASSERT_TRUE(platform::use_backend(platform::sdl2::backend()));
    open_window(kTitleOem, 164, 314, 0, 0, -1, 0);
    ASSERT_EQ(g_graphics.gwin.opened, 0);
    window_ = find_window(kTitleUtf8);
    ASSERT_NE(window_, 0u);
    settle();
  }
  void TearDown() override {
    graphics_reset();
    input::input_reset();
    platform::shutdown();
    if (x_) XCloseDisplay(x_);
  }

  // Lets the X server and the message loop catch up.
  static void settle() {
    for (int i = 0; i < 5; ++i) input::delay(20);
  }

  // The next queued code, waiting up to two seconds of real time for it.
  static int32_t next_code() {
    const uint32_t t0 = input::read_clock();
    while (input::read_clock() - t0 < 2000) {
      if (g_graphics.keys.read != g_graphics.keys.write) return read_input(0);
      input::delay(10);
    }
    return -1;
  }

  std::string title_of(Window w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom name = XInternAtom(x_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(x_, "UTF8_STRING", False);
    std::string title;
    if (XGetWindowProperty(x_, w, name, 0, 256, False, utf8, &type, &format, &count, &after, &data) == Success && data) {
      title.assign(reinterpret_cast<char*>(data), count);
    }
    if (data) XFree(data);
    return title;
  }

  Window find_window(const char* title) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    Window found = 0;
    if (XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &n)) {
      for (unsigned int i = 0; i < n && !found; ++i) {
        if (title_of(children[i]) == title) found = children[i];
      }
      if (children) XFree(children);
    }
    return found;
  }

  void client_origin(int* x, int* y) {
    Window child = 0;
    XTranslateCoordinates(x_, window_, DefaultRootWindow(x_), 0, 0, x, y, &child);
  }

  void focus() {
    run("xdotool windowfocus --sync " + std::to_string(window_) + " 2>/dev/null");
    settle();
    while (read_input(1)) read_input(0);
  }

  ::Display* x_ = nullptr;
  Window window_ = 0;
};

TEST_F(OnScreen, SplashWindowOpensWithTitleAndVisibleArea) {
  EXPECT_EQ(max_x(), 163);
  EXPECT_EQ(max_y(), 313);
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(x_, window_, &a));
  EXPECT_EQ(a.width, 163);
  EXPECT_EQ(a.height, 313);
  EXPECT_EQ(a.map_state, IsViewable);
  EXPECT_EQ(title_of(window_), kTitleUtf8);
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(x_, window_, &hints, &supplied));
  ASSERT_TRUE(hints.flags & PMinSize);
  ASSERT_TRUE(hints.flags & PMaxSize);
  EXPECT_EQ(hints.min_width, 163) << "not resizable";
  EXPECT_EQ(hints.max_width, 163);
  EXPECT_EQ(hints.min_height, 313);
  EXPECT_EQ(hints.max_height, 313);
}

TEST_F(OnScreen, BackBufferPixelsAppearOnScreenExactly) {
  PaintBuffer& b = g_graphics.gwin.wmpaintdc;
  for (int32_t y = 0; y < b.height; ++y) {
    for (int32_t x = 0; x < b.width; ++x) {
      uint8_t* p = buffer_pixel(&b, x, y);
      p[0] = static_cast<uint8_t>(x * 7 + y);  // blue
      p[1] = static_cast<uint8_t>(y);          // green
      p[2] = static_cast<uint8_t>(x ^ y);      // red
    }
  }
  refresh_all();
  int ox = 0, oy = 0;
  client_origin(&ox, &oy);
  Screenshot shot;
  ASSERT_TRUE(screenshot(&shot)) << "xwd from x11-apps, 24-bit TrueColor screen";
  int wrong = 0;
  for (int32_t y = 0; y < 313; ++y) {
    for (int32_t x = 0; x < 163; ++x) {
      const uint8_t* p = buffer_pixel(&b, x, y);
      const uint32_t want = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
      if (shot.at(ox + x, oy + y) != want && wrong++ < 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << shot.at(ox + x, oy + y) << " != " << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(OnScreen, KeysFromXdotoolBecomeInputCodes) {
  focus();
  struct Case {
    const char* keys;
    std::vector<int32_t> codes;
  };
  const Case cases[] = {
      {"F1", {0x3B00}},
      {"a", {'a'}},
      {"ctrl+a", {0x1E01}},
      {"shift+Tab", {kCodeShiftTab}},
      {"Tab", {kCodeTab}},
      {"Return", {13}},
      {"alt+F4", {kCodeWindowClose}},
      {"ctrl+F4", {0x6100}},
      {"shift+Page_Down", {0x0DFF}},
      {"alt+x", {0x2D00}},
  };
  for (const Case& c : cases) {
    run(std::string("xdotool key --delay 20 ") + c.keys);
    std::vector<int32_t> got;
    for (size_t i = 0; i < c.codes.size(); ++i) got.push_back(next_code());
    settle();
    EXPECT_EQ(got, c.codes) << c.keys;
    EXPECT_EQ(read_input(1), 0) << c.keys << ": nothing more";
  }
  EXPECT_TRUE(platform::window_open()) << "Alt+F4 only asked";
}

TEST_F(OnScreen, CloseBoxQueuesTheCloseCodeOnceAndTheWindowStays) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window_;
  e.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(x_, window_, False, NoEventMask, &e);
  XFlush(x_);
  EXPECT_EQ(next_code(), kCodeWindowClose);
  settle();
  EXPECT_EQ(read_input(1), 0) << "one close request, one code";
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(x_, window_, &a));
  EXPECT_EQ(a.map_state, IsViewable);
}

TEST_F(OnScreen, SigintAndSigtermAreCloseRequests) {
  std::raise(SIGINT);
  EXPECT_EQ(next_code(), kCodeWindowClose);
  std::raise(SIGTERM);
  EXPECT_EQ(next_code(), kCodeWindowClose);
  EXPECT_TRUE(platform::window_open());
}

TEST_F(OnScreen, PointerWarpGoesToTheViewportCentre) {
  input::set_pointer_position(-1, -1);
  settle();
  Window root = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned int mask = 0;
  ASSERT_TRUE(XQueryPointer(x_, window_, &root, &child, &rx, &ry, &wx, &wy, &mask));
  EXPECT_EQ(wx, 163 / 2);
  EXPECT_EQ(wy, 313 / 2);
  EXPECT_EQ(input::g_input.mouse.x, 81) << "and the move arrives";
  EXPECT_EQ(input::g_input.mouse.y, 156);
  input::set_cursor_shape(platform::Cursor::kHand);
  input::set_cursor_shape(platform::Cursor::kNone);
  input::set_cursor_shape(platform::Cursor::kArrow);
}

TEST_F(OnScreen, TooltipShowsOverTheFrameNotInTheBackBuffer) {
  add_tooltip(0, 0, 164, 100, "Open the link", 0);
  int ox = 0, oy = 0;
  client_origin(&ox, &oy);
  run("xdotool mousemove " + std::to_string(ox + 20) + " " + std::to_string(oy + 20));
  const uint32_t t0 = input::read_clock();
  while (!g_graphics.tooltips.shown_id && input::read_clock() - t0 < 3000) input::delay(50);
  ASSERT_EQ(g_graphics.tooltips.shown_id, 1);
  const platform::Rect r = g_graphics.tooltips.popup_rect;
  Screenshot shot;
  ASSERT_TRUE(screenshot(&shot));
  EXPECT_EQ(shot.at(ox + r.x + 1, oy + r.y + 1), 0xFFFFE1u) << "popup background on screen";
  EXPECT_EQ(buffer_pixel(&g_graphics.gwin.wmpaintdc, r.x + 1, r.y + 1)[0], 0) << "back buffer still black";
}

}  // namespace
}  // namespace lumra::graphics
