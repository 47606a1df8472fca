// The viewer's small rules on their own: the link in objects_data.js's first 1023 bytes, the
// bands of the splash, the Chrome test and the browser's argument text.
#include <gtest/gtest.h>

#include <string>

#include "platform/system/process.h"
#include "viewer/browser_arguments.h"
#include "viewer/splash.h"
#include "viewer/splash_link.h"
#include "viewer/viewer_config.h"

namespace lumra::viewer {
namespace {

TEST(SplashLink, OnlyTheFirstHttpEntryInTheWindowCounts) {
  const std::string far = std::string(1000, ' ') + "link: \"http://far.example/\"";
  const std::string open_past_window = std::string(1000, ' ') + "link: \"http://cut.example/" + std::string(40, 'x') + "\"";
  struct Case {
    std::string text;
    std::string link;
  } const cases[] = {
      {"var d = {link: \"http://example.org/a\"};", "http://example.org/a"},
      {"link:\n\n   'x' \"http://spaced.example/\"", "http://spaced.example/"},
      {"link: \"https://secure.example/\"", ""},
      {"link: \"HTTP://LOUD.EXAMPLE/\"", ""},
      {"link: \"Http://mixed.example/\"", ""},
      {"link: \"http://a.example/\" link: \"http://b.example/\"", "http://a.example/"},
      {"link: \"https://first.example/\" link: \"http://second.example/\"", ""},
      {"link: \"http://no-closing-quote.example/", ""},
      {"link: no quote at all", ""},
      {"\"http://before.example/\" no entry", ""},
      {"link: \"http:/\"", ""},
      {"link: \"http://\"", "http://"},
      {far, ""},
      {open_past_window, ""},
      {std::string("link: \"http://a\0b\"", 18), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(link_in_window(c.text.data(), c.text.size()), c.link) << c.text.substr(0, 60);
  }
  const std::string entry = "link: \"http://edge.ex/\"";
  const std::string at_edge = std::string(kLinkWindow - entry.size(), ' ') + entry;
  EXPECT_EQ(link_in_window(at_edge.data(), at_edge.size()), "http://edge.ex/") << "the closing quote is byte 1023";
  const std::string one_past = " " + at_edge;
  EXPECT_EQ(link_in_window(one_past.data(), one_past.size()), "") << "the closing quote is byte 1024";
}

TEST(SplashLink, UnreadableOrMissingFileGivesNone) {
  EXPECT_EQ(read_splash_link("/nonexistent/objects_data.js"), "");
  EXPECT_EQ(read_splash_link("/"), "") << "a folder opens but does not read";
}

TEST(SplashBands, TopWinsAndTheMiddleIsInactive) {
  const char* link = "http://l.example/";
  const int32_t max_y = 313;
  EXPECT_EQ(band_target(0, max_y, link), link);
  EXPECT_EQ(band_target(219, max_y, link), link);
  EXPECT_EQ(band_target(220, max_y, link), nullptr);
  EXPECT_EQ(band_target(293, max_y, link), nullptr);
  EXPECT_STREQ(band_target(294, max_y, link), kMakerPage);
  EXPECT_STREQ(band_target(313, max_y, link), kMakerPage);
  EXPECT_EQ(band_target(100, max_y, nullptr), nullptr);
  EXPECT_STREQ(band_target(100, 200, link), link) << "a low window: the top band wins";
  EXPECT_STREQ(band_target(200, 200, link), link);
  EXPECT_STREQ(band_target(200, 200, nullptr), kMakerPage);
}

sys::BrowserCommand browser(const std::string& program, const std::string& target, std::vector<std::string> args,
                            size_t page) {
  sys::BrowserCommand b;
  b.program = program;
  b.program_target = target;
  b.arguments = std::move(args);
  b.page_argument = page;
  return b;
}

TEST(BrowserArguments, ChromeAndChromiumGetTheirProfileAndSwitch) {
  const std::string unpack = "/tmp//LumraVRviewer/LVR1A2B.tmp";
  const std::string page = unpack + "/index.html";
  struct Case {
    sys::BrowserCommand browser;
    bool chrome;
    std::vector<std::string> arguments;
  } const cases[] = {
      {browser("/usr/bin/firefox", "/usr/lib/firefox/firefox", {page}, 0), false, {page}},
      {browser("/opt/google/Chrome/Google-CHROME", "", {page}, 0), true,
       {"--user-data-dir=/tmp//LumraVRviewer/LVR1A2B.tm", "--allow-WD-access-from-files", page}},
      {browser("/usr/bin/x-www-browser", "/usr/lib/chromium/chromium", {"--new-window", page}, 1), true,
       {"--new-window", "--user-data-dir=/tmp//LumraVRviewer/LVR1A2B.tm", "--allow-WD-access-from-files", page}},
      {browser("/usr/bin/Chromium-Browser", "", {page}, 0), true,
       {"--user-data-dir=/tmp//LumraVRviewer/LVR1A2B.tm", "--allow-WD-access-from-files", page}},
      {browser("/usr/bin/chrom", "", {page}, 0), false, {page}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_chrome(c.browser), c.chrome) << c.browser.program;
    const std::string line = browser_argument_line(c.browser, unpack);
    EXPECT_EQ(sys::split_arguments(line.c_str()), c.arguments) << line;
  }
  // A page path with a blank reaches the browser as one argument.
  const std::string spaced = "/tmp/a b/LVR1.tmp/index.html";
  EXPECT_EQ(sys::split_arguments(browser_argument_line(browser("/usr/bin/chromium", "", {spaced}, 0), "/tmp/a b/LVR1.tmp").c_str()),
            (std::vector<std::string>{"--user-data-dir=/tmp/a b/LVR1.tm", "--allow-WD-access-from-files", spaced}));
}

}  // namespace
}  // namespace lumra::viewer
