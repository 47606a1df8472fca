// lvrview --serve with Debian's real browsers, under Xvfb. The package's page fetches a JSON file
// of its own and uploads one of its own pictures to a WebGL texture, then paints itself one colour
// per outcome (see serve_check/check.js). Opened as files, as the viewer opens a package by
// default, both chromium and firefox-esr refuse the fetch (red); served over the loopback
// interface, both get through every step (green). A browser that cannot run here, or has no WebGL
// even when served, makes its test say why and skip.
#include <gtest/gtest.h>

#include <string>

#include "tests/examples/browser_support.h"

namespace lumra::examples_test {
namespace {

constexpr uint32_t kGreen = 0x00FF00;  // every step worked
constexpr uint32_t kRed = 0x0000FF;    // the fetch failed (values are red in the low byte)
constexpr uint32_t kBlue = 0xFF0000;   // no WebGL at all

const std::string kFirefoxHeadless = LUMRA_SOURCE_DIR "/scripts/lib/firefox-headless";

std::string firefox_unavailable() {
  static const std::string reason = [] {
    if (run({"sh", "-c", "command -v firefox-esr"}).status != 0) {
      return std::string("firefox-esr is not installed (Debian package firefox-esr; scripts/test installs it)");
    }
    TempDir dir;
    const std::string shot = dir / "probe.png";
    const RunResult probe =
        run({"env", "LUMRA_PAGE_SHOT=" + shot, "TMPDIR=" + dir.path(), "timeout", "60", kFirefoxHeadless, "about:blank"});
    if (probe.status == 0 && exists(shot)) return std::string();
    std::string last = probe.out;
    while (!last.empty() && last.back() == '\n') last.pop_back();
    return "firefox-esr cannot run headless here (status " + std::to_string(probe.status) + "): " +
           last.substr(last.rfind('\n') + 1);
  }();
  return reason;
}

// The colour of the screenshot's centre as r | g << 8 | b << 16; 0xFF000000 when unreadable.
uint32_t centre_colour(const std::string& png) {
  image::Image img{};
  if (image::load_picture(&img, png.c_str(), nullptr, nullptr, nullptr, nullptr) != 1) return 0xFF000000u;
  uint32_t raw = 0, value = 0xFF000000u;
  image::image_get_pixel_colour(&img, static_cast<int32_t>(img.width / 2), static_cast<int32_t>(img.height / 2), &raw,
                                &value);
  image::image_free(&img);
  return value;
}

class ServeRealBrowser : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X server (run under xvfb-run)";
    const std::string browser = GetParam();
    const std::string unavailable = browser == "chromium" ? chromium_unavailable() : firefox_unavailable();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    wrapper_ = browser == "chromium" ? kHeadlessBrowser : kFirefoxHeadless;
    const RunResult zip = run({"sh", "-c", "cd '" LUMRA_SOURCE_DIR "/tests/examples/serve_check' && zip -q -r '" +
                                               package_ + "' index.html check.js scene.json texture.png"});
    ASSERT_EQ(zip.status, 0) << zip.out;
  }
  // The colour the page painted when the viewer ran the browser on the package.
  uint32_t page_colour(bool serve) {
    const std::string shot = tmp_ / (serve ? "served.png" : "files.png");
    std::vector<std::string> command{"env", "TMPDIR=" + tmp_.path(), "BROWSER=" + wrapper_, "LUMRA_PAGE_SHOT=" + shot,
                                     "LUMRA_VIRTUAL_TIME_MS=3000", "LUMRA_BROWSER_OUTPUT=" + (tmp_ / "browser.log"),
                                     "LUMRA_SERVE=0", "timeout", "180", LUMRA_VIEWER};
    if (serve) command.push_back("--serve");
    command.push_back(package_);
    const RunResult viewer = run(command);
    EXPECT_EQ(viewer.status, 0) << viewer.out;
    EXPECT_TRUE(exists(shot)) << "the browser saved no screenshot\n" << viewer.out;
    return centre_colour(shot);
  }

  TempDir tmp_, sources_;
  std::string package_ = sources_ / "check.lvr";
  std::string wrapper_;
};

TEST_P(ServeRealBrowser, ServedPageLoadsItsDataAndTextureWhereFilesDoNot) {
  const uint32_t served = page_colour(true);
  if (served == kBlue) GTEST_SKIP() << GetParam() << " has no WebGL on this machine, even served";
  EXPECT_EQ(served, kGreen) << "served: every step works (colour " << std::hex << served << ")";
  const uint32_t files = page_colour(false);
  EXPECT_EQ(files, kRed) << "as files: the fetch is refused (colour " << std::hex << files << ")";
}

INSTANTIATE_TEST_SUITE_P(Browsers, ServeRealBrowser, ::testing::Values("chromium", "firefox"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

}  // namespace
}  // namespace lumra::examples_test
