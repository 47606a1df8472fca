// lumra-pic show against a real X server (run under Xvfb, label "display"): at natural size in
// true colour the window holds exactly the decoded pixels (read back with xwd); drawn at half
// width it holds the 2 x 2 averages; a key or a termination request ends it with status 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/image/picture_file.h"

// Last: Xlib's macros (None, Status, Bool) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace lumra::image {
namespace {

std::string capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

uint32_t be32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8 | static_cast<uint8_t>(s[at + 3]);
}

// The w x h area at (x, y) of a root-window screenshot (xwd, 24 or 32 bits per pixel) as
// colour values (red | green << 8 | blue << 16); empty when xwd gave nothing usable.
std::vector<uint32_t> screen_area(int x, int y, int w, int h) {
  const std::string xwd = capture("xwd -root -silent");
  if (xwd.size() < 100) return {};
  const uint32_t header = be32(xwd, 0), width = be32(xwd, 16), height = be32(xwd, 20), order = be32(xwd, 28);
  const uint32_t bpp = be32(xwd, 44), line = be32(xwd, 48), colours = be32(xwd, 76);
  const size_t data = header + static_cast<size_t>(colours) * 12;
  const uint32_t bytes = bpp / 8;
  if ((bpp != 24 && bpp != 32) || be32(xwd, 56) != 0xFF0000 || x < 0 || y < 0 || static_cast<uint32_t>(x + w) > width ||
      static_cast<uint32_t>(y + h) > height || xwd.size() < data + static_cast<size_t>(line) * height) {
    return {};
  }
  std::vector<uint32_t> out;
  for (int r = y; r < y + h; ++r) {
    for (int c = x; c < x + w; ++c) {
      const auto* p = reinterpret_cast<const uint8_t*>(xwd.data() + data + static_cast<size_t>(r) * line + c * bytes);
      uint32_t v = 0;
      for (uint32_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (order == 0 ? 8 * i : 8 * (bytes - 1 - i));
      out.push_back(colour_value(v >> 16 & 255, v >> 8 & 255, v & 255));
    }
  }
  return out;
}

// A picture of many colours, saved as PNG and read back: what the screen must show.
struct Picture {
  std::string dir;
  std::string path;
  Image img{};
  Picture() {
    char pattern[] = "/tmp/lumra-pic-show-XXXXXX";
    dir = mkdtemp(pattern) ? pattern : "/tmp";
    path = dir + "/show.png";
    Image src{};
    image_allocate(&src, Rgb32, 96, 64, 0, nullptr, 0, 0);
    for (int32_t y = 0; y < 64; ++y) {
      for (int32_t x = 0; x < 96; ++x) {
        image_set_pixel(&src, x, y, colour_value(x * 2 + y, y * 4, (x * 7) ^ (y * 3)));
      }
    }
    save_png(&src, path.c_str(), 0, 0);
    image_free(&src);
    float res[2];
    read_png(res, &img, path.c_str(), nullptr);
  }
  ~Picture() {
    image_free(&img);
    std::system(("rm -rf '" + dir + "'").c_str());
  }
};

// lumra-pic show with its standard output on a pipe.
struct Shown {
  pid_t pid = -1;
  FILE* out = nullptr;
  explicit Shown(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(LUMRA_PIC));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawn(&pid, LUMRA_PIC, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out = fdopen(fds[0], "r");
  }
  // The line it prints once the picture is drawn (blocks until then).
  std::string line() {
    char buffer[256] = {};
    return out && std::fgets(buffer, sizeof buffer, out) ? buffer : "";
  }
  int wait_status() {
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) return WEXITSTATUS(status);
    return -1;
  }
  ~Shown() {
    if (out) fclose(out);
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

class ShowOnScreen : public ::testing::Test {
 protected:
  // One connection for the whole program: closing the last one would make Xvfb reset, and the
  // next test would find the server gone for a moment.
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    static ::Display* const display = XOpenDisplay(nullptr);
    x_ = display;
    ASSERT_NE(x_, nullptr);
  }

  // The top-level window whose title is `title`, searched in the whole tree.
  Window find(Window w, const std::string& title) {
    char* name = nullptr;
    if (XFetchName(x_, w, &name) && name) {
      const bool match = title == name;
      XFree(name);
      if (match) return w;
    }
    Window root = 0, parent = 0, found = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(x_, w, &root, &parent, &children, &n)) {
      for (unsigned int i = 0; i < n && !found; ++i) found = find(children[i], title);
      if (children) XFree(children);
    }
    return found;
  }

  // The window's client area, compared with `expected` until it matches (the X server may
  // still be catching up) or 50 screenshots have been taken.
  void expect_on_screen(const std::string& title, int w, int h, const std::vector<uint32_t>& expected) {
    const Window window = find(DefaultRootWindow(x_), title);
    ASSERT_NE(window, 0u) << "no window titled " << title;
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(x_, window, DefaultRootWindow(x_), 0, 0, &x, &y, &child);
    std::vector<uint32_t> got;
    for (int attempt = 0; attempt < 50 && got != expected; ++attempt) got = screen_area(x, y, w, h);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_EQ(got[i], expected[i]) << "pixel " << i % w << ", " << i / w;
    }
  }

  ::Display* x_ = nullptr;
};

TEST_F(ShowOnScreen, NaturalSizeShowsExactlyTheDecodedPixels) {
  Picture p;
  Shown shown({"show", p.path});
  EXPECT_EQ(shown.line(), "shown 96 x 64 in mode 6\n");
  std::vector<uint32_t> expected;
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 96; ++x) {
      uint32_t v = 0;
      image_get_pixel(&p.img, x, y, &v);
      expected.push_back(v & 0xFFFFFF);
    }
  }
  expect_on_screen("lumra-pic " + p.path, 96, 64, expected);
  // A key ends it.
  const Window window = find(DefaultRootWindow(x_), "lumra-pic " + p.path);
  EXPECT_EQ(std::system(("xdotool windowfocus --sync " + std::to_string(window) + " key --clearmodifiers q").c_str()), 0);
  EXPECT_EQ(shown.wait_status(), 0);
}

TEST_F(ShowOnScreen, HalfWidthShowsTheAveragedPicture) {
  Picture p;
  Shown shown({"show", p.path, "--width", "48"});
  EXPECT_EQ(shown.line(), "shown 48 x 32 in mode 6\n");
  // Each drawn pixel: the integer mean of its 2 x 2 source block, per channel.
  std::vector<uint32_t> expected;
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 48; ++x) {
      uint32_t sum[3] = {0, 0, 0};
      for (int32_t k = 0; k < 4; ++k) {
        uint32_t v = 0;
        image_get_pixel(&p.img, 2 * x + (k & 1), 2 * y + (k >> 1), &v);
        for (int c = 0; c < 3; ++c) sum[c] += v >> (8 * c) & 255;
      }
      expected.push_back(colour_value(sum[0] / 4, sum[1] / 4, sum[2] / 4));
    }
  }
  expect_on_screen("lumra-pic " + p.path, 48, 32, expected);
  // A termination request is the close box's code: it ends the wait like a key.
  kill(shown.pid, SIGTERM);
  EXPECT_EQ(shown.wait_status(), 0);
}

}  // namespace
}  // namespace lumra::image
