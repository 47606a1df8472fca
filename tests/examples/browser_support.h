// The real browser for the sample package's tests: Debian's chromium run headless through
// scripts/lib/chromium-headless (the $BROWSER of machines without a display), whether it can run
// here at all, and what its screenshot of the page shows, judged by the scene's own colours as
// objects_data.js gives them.
#pragma once

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "framework/image/picture_file.h"
#include "tests/files/files_test_support.h"

namespace lumra::examples_test {

using files::test_support::exists;
using files::test_support::run;
using files::test_support::RunResult;
using files::test_support::TempDir;

inline const std::string kHeadlessBrowser = LUMRA_SOURCE_DIR "/scripts/lib/chromium-headless";
inline const std::string kDemoSources = LUMRA_SOURCE_DIR "/examples/demo";

// Why chromium cannot run headless on this machine, or "" when it can: it must be installed and
// take a screenshot of a blank page. The reason ends the test as skipped, never passed.
inline std::string chromium_unavailable() {
  static const std::string reason = [] {
    if (run({"sh", "-c", "command -v chromium"}).status != 0) {
      return std::string("chromium is not installed (Debian package chromium; scripts/test installs it)");
    }
    TempDir dir;
    const std::string shot = dir / "probe.png";
    const RunResult probe = run({"env", "LUMRA_PAGE_SHOT=" + shot, "timeout", "60", kHeadlessBrowser,
                                 "--user-data-dir=" + (dir / "profile"), "about:blank"});
    if (probe.status == 0 && exists(shot)) return std::string();
    // The last line chromium printed says most about why.
    std::string last = probe.out;
    while (!last.empty() && last.back() == '\n') last.pop_back();
    last = last.substr(last.rfind('\n') + 1);
    return "chromium cannot run headless here (status " + std::to_string(probe.status) + "): " + last;
  }();
  return reason;
}

struct SceneColour {
  std::string name;
  uint32_t rgb[3];
  int pixels = 0;  // found in the screenshot
};

// The background and every object's colour from objects_data.js.
inline std::vector<SceneColour> scene_colours() {
  std::ifstream in(kDemoSources + "/objects_data.js");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<SceneColour> out;
  const std::regex entry(R"re((?:name: "([^"]+)"[^\n]*?colour|(background)): \[(\d+), (\d+), (\d+)\])re");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), entry); it != std::sregex_iterator(); ++it) {
    const auto& m = *it;
    SceneColour c{m[1].matched ? m[1].str() : m[2].str(), {}, 0};
    for (int i = 0; i < 3; ++i) c.rgb[i] = static_cast<uint32_t>(std::stoul(m[3 + i].str()));
    out.push_back(c);
  }
  return out;
}

// Counts the screenshot's pixels of each scene colour. The page shades a face between 0.55 and 1
// of its colour, so a pixel counts when it is the colour scaled by 0.5-1.05, give or take a little
// (smoothed edges and rounding). False when the screenshot cannot be read.
inline bool count_scene_colours(const std::string& png, std::vector<SceneColour>* colours) {
  image::Image img{};
  if (image::load_picture(&img, png.c_str(), nullptr, nullptr, nullptr, nullptr) != 1) return false;
  for (uint32_t y = 0; y < img.height; ++y) {
    for (uint32_t x = 0; x < img.width; ++x) {
      uint32_t raw = 0, value = 0;
      if (!image::image_get_pixel_colour(&img, static_cast<int32_t>(x), static_cast<int32_t>(y), &raw, &value)) continue;
      const double p[3] = {static_cast<double>(value & 255), static_cast<double>(value >> 8 & 255),
                           static_cast<double>(value >> 16 & 255)};
      for (SceneColour& c : *colours) {
        const double cc = c.rgb[0] * c.rgb[0] + c.rgb[1] * c.rgb[1] + c.rgb[2] * c.rgb[2];
        const double k = (p[0] * c.rgb[0] + p[1] * c.rgb[1] + p[2] * c.rgb[2]) / cc;
        bool near = k >= 0.5 && k <= 1.05;
        for (int i = 0; i < 3 && near; ++i) near = std::abs(p[i] - k * c.rgb[i]) <= 12;
        if (near) {
          ++c.pixels;
          break;
        }
      }
    }
  }
  image::image_free(&img);
  return true;
}

}  // namespace lumra::examples_test
