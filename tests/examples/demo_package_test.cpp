// The sample package as the build packs it: a zip that other tools read, holding exactly the
// three sources at its root; a link the viewer finds where it looks for it; a page that needs
// nothing from the network; a logo the picture reader takes and that fits the splash's top band.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "framework/image/image.h"
#include "framework/image/picture_file.h"
#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

const std::string kPackage = LUMRA_DEMO_PACKAGE;
const std::string kSources = LUMRA_DEMO_SOURCES;

std::string text_of(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string member(const std::string& name) {
  const RunResult r = run({"unzip", "-p", kPackage, name});
  EXPECT_EQ(r.status, 0) << r.out;
  return r.out;
}

TEST(DemoPackage, IsAZipThatUnzipTests) {
  const RunResult r = run({"unzip", "-t", kPackage});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("No errors detected"), std::string::npos) << r.out;
}

TEST(DemoPackage, HoldsTheThreeSourcesAtItsRootAsTheyAre) {
  const RunResult r = run({"unzip", "-Z1", kPackage});
  ASSERT_EQ(r.status, 0) << r.out;
  std::set<std::string> names;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) names.insert(line);
  EXPECT_EQ(names, (std::set<std::string>{"index.html", "logo.png", "objects_data.js"}));
  for (const char* name : {"index.html", "objects_data.js", "logo.png"}) {
    EXPECT_EQ(member(name), text_of(read_file(kSources + "/" + name))) << name;
  }
}

// The viewer reads the first 1023 bytes, takes the first "link:", the text between the next two
// double quotes, and uses it when it begins with "http://".
TEST(DemoPackage, TheLinkIsWhereTheViewerLooks) {
  const std::string head = member("objects_data.js").substr(0, 1023);
  const size_t link = head.find("link:");
  ASSERT_NE(link, std::string::npos);
  const size_t open = head.find('"', link);
  ASSERT_NE(open, std::string::npos);
  const size_t close = head.find('"', open + 1);
  ASSERT_NE(close, std::string::npos) << "the closing quote lies within the first 1023 bytes";
  const std::string address = head.substr(open + 1, close - open - 1);
  EXPECT_EQ(address.rfind("http://", 0), 0u) << address;
}

// Every script, style, picture or frame the page names is a member of the package, and it asks
// for nothing by script (no fetch, requests or dynamic imports).
TEST(DemoPackage, ThePageNeedsNothingFromTheNetwork) {
  const std::string page = member("index.html");
  const std::regex reference(R"re(\b(src|href|data)\s*=\s*["']([^"']*)["'])re", std::regex::icase);
  int references = 0;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), reference); it != std::sregex_iterator(); ++it) {
    const std::string target = (*it)[2];
    EXPECT_TRUE(target == "objects_data.js" || target == "logo.png") << "the page names " << target;
    ++references;
  }
  EXPECT_EQ(references, 1) << "objects_data.js";
  for (const char* call : {"fetch(", "XMLHttpRequest", "import(", "WebSocket", "EventSource", "url("}) {
    EXPECT_EQ(page.find(call), std::string::npos) << call;
  }
}

TEST(DemoPackage, TheLogoReadsAndFitsTheTopBand) {
  TempDir dir;
  const std::string logo = dir / "logo.png";
  ASSERT_TRUE(write_file(logo, member("logo.png")));
  image::Image img{};
  ASSERT_EQ(image::load_picture(&img, logo.c_str(), nullptr, nullptr, nullptr, nullptr), 1);
  // The splash is 164 wide: a logo up to 143 wide is drawn at its own size, centred, from y = 10,
  // and stays inside the 221 rows the viewer clears for it.
  EXPECT_LE(img.width, 143u);
  EXPECT_LE(img.height, 211u);
  image::image_free(&img);
}

}  // namespace
}  // namespace lumra::files
