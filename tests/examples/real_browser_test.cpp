// The sample page in the real browser, straight from its unpacked files: chromium headless (with
// software WebGL) draws the scene, and its screenshot holds every object's colour, not a blank
// page. Skipped, with the reason, where chromium cannot run.
#include <gtest/gtest.h>

#include "tests/examples/browser_support.h"

namespace lumra::examples_test {
namespace {

TEST(RealBrowser, ChromiumDrawsTheSampleScene) {
  const std::string unavailable = chromium_unavailable();
  if (!unavailable.empty()) GTEST_SKIP() << unavailable;
  TempDir dir;
  const std::string page = dir / "demo";
  const RunResult unpacked = run({"unzip", "-q", LUMRA_DEMO_PACKAGE, "-d", page});
  ASSERT_EQ(unpacked.status, 0) << unpacked.out;
  const std::string shot = dir / "page.png";
  const RunResult browser = run({"env", "LUMRA_PAGE_SHOT=" + shot, "timeout", "60", kHeadlessBrowser,
                                 "--user-data-dir=" + (dir / "profile"), page + "/index.html"});
  ASSERT_EQ(browser.status, 0) << browser.out;

  std::vector<SceneColour> colours = scene_colours();
  ASSERT_EQ(colours.size(), 5u) << "the background, the floor and three cubes";
  ASSERT_TRUE(count_scene_colours(shot, &colours)) << "the screenshot reads as PNG";
  for (const SceneColour& c : colours) {
    EXPECT_GT(c.pixels, 1500) << c.name << " in the 800 x 600 screenshot";
  }
}

}  // namespace
}  // namespace lumra::examples_test
