// The viewer with the real browser, under Xvfb: lvrview on the sample package, with $BROWSER
// naming chromium headless, starts it with the two switches Chrome and Chromium get and their
// profile folder beside the unpack folder; the browser's screenshot of the page shows the scene;
// the viewer removes its unpack folder and keeps the base folder and the profile folder.
// Skipped, with the reason, where chromium cannot run.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/examples/browser_support.h"

namespace lumra::examples_test {
namespace {

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The base folder may be named with a doubled separator (the temporary path ends in "/").
std::string single_slashes(std::string s) {
  for (size_t at; (at = s.find("//")) != std::string::npos;) s.erase(at, 1);
  return s;
}

TEST(ViewerRealBrowser, ChromiumShowsTheSamplePackage) {
  const std::string unavailable = chromium_unavailable();
  if (!unavailable.empty()) GTEST_SKIP() << unavailable;
  TempDir tmp;
  const std::string shot = tmp / "page.png";
  const std::string log = tmp / "browser-arguments";
  const RunResult viewer = run({"env", "TMPDIR=" + tmp.path(), "BROWSER=" + kHeadlessBrowser,
                                "LUMRA_PAGE_SHOT=" + shot, "LUMRA_BROWSER_LOG=" + log, "timeout", "120",
                                LUMRA_VIEWER, LUMRA_DEMO_PACKAGE});
  ASSERT_EQ(viewer.status, 0) << viewer.out;

  // --user-data-dir=<the unpack folder less its last character> --allow-WD-access-from-files <page>
  const std::vector<std::string> arguments = lines_of(log);
  ASSERT_EQ(arguments.size(), 3u) << viewer.out;
  const std::string base = tmp.path() + "/LumraVRviewer/";
  const std::string flag = "--user-data-dir=";
  ASSERT_EQ(arguments[0].rfind(flag, 0), 0u) << arguments[0];
  const std::string profile = single_slashes(arguments[0].substr(flag.size()));
  EXPECT_EQ(profile.rfind(base + "LVR", 0), 0u) << profile;
  EXPECT_EQ(profile.substr(profile.size() - 3), ".tm") << profile;
  EXPECT_EQ(arguments[1], "--allow-WD-access-from-files");
  const std::string unpack_folder = profile + "p";
  EXPECT_EQ(single_slashes(arguments[2]), unpack_folder + "/index.html");

  EXPECT_TRUE(exists(profile + "/Local State")) << "chromium used the profile folder it was given";
  EXPECT_FALSE(exists(unpack_folder)) << "the unpack folder is removed";
  EXPECT_TRUE(exists(base)) << "the base folder stays";

  std::vector<SceneColour> colours = scene_colours();
  ASSERT_EQ(colours.size(), 5u);
  ASSERT_TRUE(count_scene_colours(shot, &colours)) << "chromium saved a screenshot of the page\n" << viewer.out;
  for (const SceneColour& c : colours) {
    EXPECT_GT(c.pixels, 1500) << c.name << " in the 800 x 600 screenshot";
  }
}

}  // namespace
}  // namespace lumra::examples_test
