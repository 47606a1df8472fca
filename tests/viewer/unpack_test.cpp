// The progress bar of a long unpack, on the headless backend's virtual clock: no bar for a quick
// unpack, and for a slow one a bar that appears after 250 ms, fills in steps at least 50 ms
// apart and is covered by the splash picture again when the unpack ends.
#include "viewer/unpack.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/base/resource_pack.h"
#include "framework/image/picture_resource.h"
#include "lumra_viewer_pack.h"
#include "tests/platform/desktop_test_support.h"
#include "tests/platform/headless_session.h"
#include "viewer/viewer_config.h"

namespace lumra::viewer {
namespace {

namespace hl = platform::headless;
namespace ts = sys::test_support;

constexpr uint32_t kBarFrame = 0x404040;
constexpr uint32_t kBarDone = 0xC07020;
constexpr int32_t kBarRow = kProgressTop + kProgressHeight / 2;

struct Sample {
  uint32_t time;
  bool frame;  // the bar's frame is on screen
  int filled;  // columns of the bar done
};

std::vector<Sample> g_samples;
uint32_t g_step_ms = 0;

class UnpackProgress : public lumra::testing::HeadlessSession {
 protected:
  void SetUp() override {
    HeadlessSession::SetUp();
    g_samples.clear();
    ASSERT_TRUE(base::pack_register(kViewerPack));
    open_splash_window();
    image::draw_picture_resource(0, 0, kSplashPicture);
    splash_row_ = row(kBarRow);
    const std::string script =
        "import zipfile,sys,random\nr=random.Random(7)\nz=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED)\n"
        "for i in range(40): z.writestr('m%02d.bin'%i, bytes(r.getrandbits(8) for _ in range(20000)))\nz.close()\n";
    ASSERT_TRUE(ts::write_text(src_ / "make.py", script));
    ASSERT_EQ(std::system(("python3 '" + (src_ / "make.py") + "' '" + package_ + "'").c_str()), 0);
  }
  void TearDown() override {
    base::packs_release();
    HeadlessSession::TearDown();
  }
  static std::vector<uint32_t> row(int32_t y) {
    std::vector<uint32_t> pixels;
    for (int32_t x = 0; x < 164; ++x) pixels.push_back(back(x, y));
    return pixels;
  }
  // The test's clock: looks at the bar, then lets g_step_ms pass per reading.
  static uint32_t sampling_clock() {
    int filled = 0;
    while (filled < 160 && back(11 + filled, kBarRow) == kBarDone) ++filled;
    g_samples.push_back({hl::now(), back(10, kProgressTop) == kBarFrame, filled});
    hl::advance(g_step_ms);
    return hl::now();
  }
  bool unpack() {
    std::string reason;
    const bool ok = unpack_package(package_.c_str(), out_.path(), &reason, sampling_clock);
    EXPECT_TRUE(ok) << reason;
    return ok;
  }

  ts::TempFolder src_, out_;
  std::string package_ = src_ / "p.lvr";
  std::vector<uint32_t> splash_row_;
};

TEST_F(UnpackProgress, QuickUnpackDrawsNoBar) {
  g_step_ms = 0;
  ASSERT_TRUE(unpack());
  for (const Sample& s : g_samples) EXPECT_FALSE(s.frame);
  EXPECT_EQ(row(kBarRow), splash_row_);
  EXPECT_TRUE(ts::exists(out_ / "m39.bin"));
}

TEST_F(UnpackProgress, SlowUnpackShowsAFillingBarAfterAQuarterSecondThenTheSplash) {
  g_step_ms = 7;
  ASSERT_TRUE(unpack());
  ASSERT_GT(g_samples.size(), 40u);
  const uint32_t start = g_samples.front().time;
  uint32_t last_change = 0;
  int filled = 0;
  bool shown = false;
  for (const Sample& s : g_samples) {
    if (s.time - start < kProgressAfterMs) {
      EXPECT_FALSE(s.frame) << "at " << s.time - start << " ms";
    }
    shown = shown || s.frame;
    EXPECT_GE(s.filled, filled) << "the bar never shrinks";
    if (s.filled != filled) {
      if (last_change != 0) {
        EXPECT_GE(s.time - last_change, 50u) << "steps at most every 50 ms";
      }
      last_change = s.time;
      filled = s.filled;
    }
  }
  EXPECT_TRUE(shown);
  EXPECT_GT(filled, 141 / 2) << "well past half of the bar's 141 columns by the last member";
  EXPECT_LE(filled, 141);
  EXPECT_EQ(row(kBarRow), splash_row_) << "the splash covers the bar again";
}

}  // namespace
}  // namespace lumra::viewer
