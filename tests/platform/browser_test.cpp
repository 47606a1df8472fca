// The browser lookup on real files: a HOME, XDG folders and a PATH of stand-in programs made per
// test, so nothing of the machine's own desktop is seen. Each case writes the files of one
// situation and checks which program and arguments come out.
#include "platform/system/browser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "desktop_test_support.h"

namespace lumra::sys {
namespace {

using Strings = std::vector<std::string>;
using test_support::Environment;
using test_support::TempFolder;
using test_support::write_script;
using test_support::write_text;

class BrowserLookup : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    for (const char* f : {"bin", "home", "home/.config", "home/.local", "home/.local/share",
                          "home/.local/share/applications", "etc", "etc/xdg", "share", "share/applications", "page"}) {
      ASSERT_EQ(mkdir((dir_ / f).c_str(), 0755), 0) << f;
    }
    page_ = dir_ / "page/index.html";
    ASSERT_TRUE(write_text(page_, "<html></html>"));
    env_.set("PATH", dir_ / "bin");
    env_.set("HOME", dir_ / "home");
    env_.unset("XDG_CONFIG_HOME");
    env_.unset("XDG_DATA_HOME");
    env_.set("XDG_CONFIG_DIRS", dir_ / "etc/xdg");
    env_.set("XDG_DATA_DIRS", dir_ / "share");
    env_.unset("XDG_CURRENT_DESKTOP");
    env_.unset("BROWSER");
  }

  void program(const std::string& name) { ASSERT_TRUE(write_script(dir_ / ("bin/" + name), "exit 0\n")); }
  void file(const std::string& path, const std::string& text) { ASSERT_TRUE(write_text(dir_ / path, text)); }
  void entry(const std::string& path, const std::string& exec, const std::string& more = "") {
    file(path, "[Desktop Entry]\nType=Application\nName=Browser\nExec=" + exec + "\n" + more);
  }
  std::string bin(const std::string& name) const { return dir_ / ("bin/" + name); }

  BrowserCommand expect_found() {
    BrowserCommand c;
    EXPECT_EQ(find_browser(page_.c_str(), &c), kBrowserFound);
    return c;
  }

  TempFolder dir_;
  Environment env_;
  std::string page_;
};

TEST_F(BrowserLookup, BrowserVariableTakesTheFirstEntryFound) {
  program("fakebrowser");
  env_.set("BROWSER", "missing:fakebrowser --new %s --rate=50%%::");
  const BrowserCommand c = expect_found();
  EXPECT_EQ(c.program, bin("fakebrowser"));
  EXPECT_EQ(c.arguments, (Strings{"--new", page_, "--rate=50%"}));
  EXPECT_EQ(c.page_argument, 1u);
  EXPECT_EQ(c.origin, "BROWSER");
}

TEST_F(BrowserLookup, BrowserVariableWithoutPlaceholderAddsThePage) {
  program("fakebrowser");
  env_.set("BROWSER", bin("fakebrowser") + " --flag");  // an absolute path is taken as it stands
  const BrowserCommand c = expect_found();
  EXPECT_EQ(c.program, bin("fakebrowser"));
  EXPECT_EQ(c.arguments, (Strings{"--flag", page_}));
  EXPECT_EQ(c.page_argument, 1u);
}

// One row per rule of the default-application search; `setup` writes the files, `program` is the
// stand-in expected, with the arguments expected after it.
struct DefaultCase {
  const char* name;
  std::function<void(BrowserLookup*)> setup;
  const char* program;
  Strings arguments;  // "PAGE" stands for the page
};

void PrintTo(const DefaultCase& c, std::ostream* os) { *os << c.name; }

class BrowserDefaults : public BrowserLookup, public ::testing::WithParamInterface<DefaultCase> {};

TEST_P(BrowserDefaults, FindsTheProgram) {
  for (const char* p : {"alpha", "beta", "gamma", "delta"}) program(p);
  GetParam().setup(this);
  const BrowserCommand c = expect_found();
  EXPECT_EQ(c.program, bin(GetParam().program));
  Strings expected = GetParam().arguments;
  for (std::string& a : expected) {
    if (a == "PAGE") a = page_;
  }
  EXPECT_EQ(c.arguments, expected);
}

const DefaultCase kDefaultCases[] = {
    {"user default for text/html",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=alpha.desktop;\n");
       t->entry("home/.local/share/applications/alpha.desktop", "alpha --new-window %U");
     },
     "alpha", {"--new-window", "PAGE"}},
    {"desktop-specific list first, each desktop name in turn",
     [](BrowserLookup* t) {
       setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=alpha.desktop\n");
       t->file("home/.config/gnome-mimeapps.list", "[Default Applications]\ntext/html=beta.desktop\n");
       t->entry("share/applications/alpha.desktop", "alpha %u");
       t->entry("share/applications/beta.desktop", "beta %u");
     },
     "beta", {"PAGE"}},
    {"an entry not installed passes to the next in the list",
     [](BrowserLookup* t) {
       t->file("etc/xdg/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop;gamma.desktop\n");
       t->entry("share/applications/gamma.desktop", "gamma %f");
     },
     "gamma", {"PAGE"}},
    {"a list without the type passes to the next list",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Default Applications]\nimage/png=alpha.desktop\n");
       t->file("share/applications/mimeapps.list", "[Default Applications]\ntext/html=beta.desktop\n");
       t->entry("share/applications/alpha.desktop", "alpha %f");
       t->entry("share/applications/beta.desktop", "beta %f");
     },
     "beta", {"PAGE"}},
    {"the user's applications folder comes first",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=web.desktop\n");
       t->entry("home/.local/share/applications/web.desktop", "beta --mine %u");
       t->entry("share/applications/web.desktop", "alpha %u");
     },
     "beta", {"--mine", "PAGE"}},
    {"a hidden entry hides the system's one of the same ID",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=web.desktop;gamma.desktop\n");
       t->file("home/.local/share/applications/web.desktop", "[Desktop Entry]\nHidden=true\n");
       t->entry("share/applications/web.desktop", "alpha %u");
       t->entry("share/applications/gamma.desktop", "gamma %u");
     },
     "gamma", {"PAGE"}},
    {"a TryExec that is not installed disqualifies",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=a.desktop;b.desktop\n");
       t->entry("share/applications/a.desktop", "alpha %u", "TryExec=not-installed\n");
       t->entry("share/applications/b.desktop", "beta %u", "TryExec=beta\n");
     },
     "beta", {"PAGE"}},
    {"an entry of another type, or whose program is missing, disqualifies",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=l.desktop;m.desktop;d.desktop\n");
       t->file("share/applications/l.desktop", "[Desktop Entry]\nType=Link\nExec=alpha\n");
       t->entry("share/applications/m.desktop", "not-installed %u");
       t->entry("share/applications/d.desktop", "delta %u");
     },
     "delta", {"PAGE"}},
    {"an ID names a file in a sub-folder",
     [](BrowserLookup* t) {
       ASSERT_EQ(mkdir((t->dir_ / "share/applications/vendor").c_str(), 0755), 0);
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=vendor-web.desktop\n");
       t->entry("share/applications/vendor/web.desktop", "gamma --from-vendor");
     },
     "gamma", {"--from-vendor", "PAGE"}},
    {"no default: added associations",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Added Associations]\ntext/html=beta.desktop;\n");
       t->file("share/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=alpha.desktop;\n");
       t->entry("share/applications/alpha.desktop", "alpha %u");
       t->entry("share/applications/beta.desktop", "beta %u");
     },
     "beta", {"PAGE"}},
    {"no default: the cache, less removed associations",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list", "[Removed Associations]\ntext/html=alpha.desktop;\n");
       t->file("share/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=alpha.desktop;gamma.desktop;\n");
       t->entry("share/applications/alpha.desktop", "alpha %u");
       t->entry("share/applications/gamma.desktop", "gamma %u");
     },
     "gamma", {"PAGE"}},
    {"a removal in a later folder leaves earlier folders' associations",
     [](BrowserLookup* t) {
       t->file("home/.local/share/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=alpha.desktop;\n");
       t->file("share/applications/mimeapps.list", "[Removed Associations]\ntext/html=alpha.desktop;\n");
       t->entry("share/applications/alpha.desktop", "alpha %u");
     },
     "alpha", {"PAGE"}},
    {"text/html before the http scheme",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list",
               "[Default Applications]\nx-scheme-handler/http=alpha.desktop\ntext/html=beta.desktop\n");
       t->entry("share/applications/alpha.desktop", "alpha %u");
       t->entry("share/applications/beta.desktop", "beta %u");
     },
     "beta", {"PAGE"}},
    {"the http scheme when text/html has nothing",
     [](BrowserLookup* t) {
       t->file("home/.config/mimeapps.list",
               "[Default Applications]\nx-scheme-handler/http=alpha.desktop\ntext/html=gone.desktop\n");
       t->entry("share/applications/alpha.desktop", "alpha %u");
     },
     "alpha", {"PAGE"}},
    {"x-www-browser last",
     [](BrowserLookup* t) {
       t->program("x-www-browser");
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop\n");
     },
     "x-www-browser", {"PAGE"}},
    {"XDG variables name the folders",
     [](BrowserLookup* t) {
       ASSERT_EQ(mkdir((t->dir_ / "conf").c_str(), 0755), 0);
       ASSERT_EQ(mkdir((t->dir_ / "data").c_str(), 0755), 0);
       ASSERT_EQ(mkdir((t->dir_ / "data/applications").c_str(), 0755), 0);
       setenv("XDG_CONFIG_HOME", (t->dir_ / "conf").c_str(), 1);
       setenv("XDG_DATA_HOME", (t->dir_ / "data").c_str(), 1);
       t->file("home/.config/mimeapps.list", "[Default Applications]\ntext/html=alpha.desktop\n");
       t->file("conf/mimeapps.list", "[Default Applications]\ntext/html=delta.desktop\n");
       t->entry("data/applications/delta.desktop", "delta %u");
       t->entry("share/applications/alpha.desktop", "alpha %u");
     },
     "delta", {"PAGE"}},
};

INSTANTIATE_TEST_SUITE_P(Rules, BrowserDefaults, ::testing::ValuesIn(kDefaultCases),
                         [](const ::testing::TestParamInfo<DefaultCase>& p) {
                           std::string n = p.param.name;
                           for (char& ch : n) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return n;
                         });

TEST_F(BrowserLookup, NothingFoundOrNoPageIsThirtyTwoOrLess) {
  BrowserCommand c;
  EXPECT_EQ(find_browser(page_.c_str(), &c), kBrowserNotFound);
  EXPECT_LE(kBrowserNotFound, 32);
  program("x-www-browser");
  EXPECT_EQ(find_browser((dir_ / "page/missing.html").c_str(), &c), kBrowserPageMissing);
  EXPECT_LE(kBrowserPageMissing, 32);
  EXPECT_GT(kBrowserFound, 32);
}

TEST_F(BrowserLookup, TheProgramsTargetResolvesLinks) {
  program("chromium");
  ASSERT_EQ(symlink((dir_ / "bin/chromium").c_str(), (dir_ / "bin/x-www-browser").c_str()), 0);
  const BrowserCommand c = expect_found();
  EXPECT_EQ(c.program, bin("x-www-browser"));
  char real[4096];
  ASSERT_NE(realpath(bin("chromium").c_str(), real), nullptr);
  EXPECT_EQ(c.program_target, real);
  EXPECT_EQ(c.origin, "x-www-browser");
}

TEST_F(BrowserLookup, NeverTakesAProgramFromTheCurrentFolder) {
  program("x-www-browser");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir((dir_ / "bin").c_str()), 0);
  env_.set("PATH", ":.:bin");
  BrowserCommand c;
  const int result = find_browser(page_.c_str(), &c);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(result, kBrowserNotFound);
}

TEST_F(BrowserLookup, HostileFilesAreIgnored) {
  program("alpha");
  program("beta");
  // An ID that climbs out of the applications folder, a list that is a FIFO (reading would wait
  // forever), a desktop entry larger than any real one, an Exec with a broken quote.
  ASSERT_EQ(mkdir((dir_ / "evil").c_str(), 0755), 0);
  entry("evil/x.desktop", "alpha %u");
  file("home/.config/mimeapps.list",
       "[Default Applications]\ntext/html=../../evil/x.desktop;big.desktop;quote.desktop;beta.desktop\n");
  ASSERT_EQ(mkfifo((dir_ / "etc/xdg/mimeapps.list").c_str(), 0644), 0);
  entry("share/applications/big.desktop", "alpha %u", "X-Padding=" + std::string(2 << 20, 'x') + "\n");
  entry("share/applications/quote.desktop", "\"alpha %u");
  entry("share/applications/beta.desktop", "beta %u");
  const BrowserCommand c = expect_found();
  EXPECT_EQ(c.program, bin("beta"));
  EXPECT_EQ(c.origin, dir_ / "share/applications/beta.desktop");
}

// The launcher splits its argument text by the Windows command-line rules: this splitter is those
// rules written out for the test (2n backslashes + quote: n backslashes and the quote toggles;
// 2n + 1: n backslashes and a literal quote; backslashes elsewhere are literal).
Strings split_windows(const std::string& text) {
  Strings out;
  std::string cur;
  bool in_arg = false;
  bool quoted = false;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (!quoted && (c == ' ' || c == '\t')) {
      if (in_arg) out.push_back(cur);
      cur.clear();
      in_arg = false;
      ++i;
      continue;
    }
    in_arg = true;
    if (c == '\\') {
      size_t n = 0;
      while (i < text.size() && text[i] == '\\') ++n, ++i;
      if (i < text.size() && text[i] == '"') {
        cur.append(n / 2, '\\');
        if (n % 2) {
          cur.push_back('"');
          ++i;
        }
      } else {
        cur.append(n, '\\');
      }
      continue;
    }
    if (c == '"') {
      quoted = !quoted;
      ++i;
      continue;
    }
    cur.push_back(c);
    ++i;
  }
  if (in_arg) out.push_back(cur);
  return out;
}

TEST(BrowserCommandLine, JoinsArgumentsTheLauncherSplitsBack) {
  struct Case {
    Strings arguments;
    const char* text;
  } cases[] = {
      {{"/tmp/LVR1.tmp/index.html"}, "/tmp/LVR1.tmp/index.html"},
      {{"--user-data-dir=/tmp//LumraVRviewer/LVR1.tm", "--allow-WD-access-from-files", "/a b/index.html"},
       "--user-data-dir=/tmp//LumraVRviewer/LVR1.tm --allow-WD-access-from-files \"/a b/index.html\""},
      {{""}, "\"\""},
      {{"say \"hi\""}, R"("say \"hi\"")"},
      {{R"(a\b)"}, R"(a\b)"},
      {{R"(a b\)"}, R"("a b\\")"},
      {{R"(a\"b)"}, R"("a\\\"b")"},
      {{"tab\there", "line\nbreak"}, "\"tab\there\" \"line\nbreak\""},
  };
  for (const Case& c : cases) {
    const std::string text = join_command_line(c.arguments);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(split_windows(text), c.arguments) << text;
  }
  // Every mix of the characters that matter comes back whole.
  const char alphabet[] = {'a', ' ', '"', '\\', '\t'};
  for (int n = 0; n < 5 * 5 * 5 * 5 * 5; ++n) {
    std::string arg;
    for (int k = n, i = 0; i < 5; ++i, k /= 5) arg.push_back(alphabet[k % 5]);
    const Strings args{arg, "x", arg};
    EXPECT_EQ(split_windows(join_command_line(args)), args) << join_command_line(args);
  }
}

}  // namespace
}  // namespace lumra::sys
