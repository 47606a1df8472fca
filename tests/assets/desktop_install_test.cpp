// Desktop integration as `cmake --install` lays it out in a fresh prefix: every file where the
// freedesktop.org specifications look for it, a desktop entry desktop-file-validate accepts, and,
// with that prefix as the user's data folder, a .lvr file resolved to application/x-lvr with the
// viewer's entry as its handler (by xdg-mime, through GIO, as a GNOME desktop asks).
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

class DesktopInstall : public testing::Test {
 protected:
  // One install for the whole suite: it copies every program of the build.
  static void SetUpTestSuite() {
    prefix_ = new TempDir;
    install_ = new RunResult(run({LUMRA_CMAKE, "--install", LUMRA_BUILD_DIR, "--prefix", prefix_->path()}));
  }
  static void TearDownTestSuite() {
    delete install_;
    delete prefix_;
  }
  void SetUp() override { ASSERT_EQ(install_->status, 0) << install_->out; }

  static std::string at(const std::string& relative) { return *prefix_ / relative; }

  // xdg-mime with the installed prefix as the user's data folder (or another folder), the
  // system's own types below it, and no configuration of the user's.
  static RunResult xdg_mime(const std::string& data_home, const std::vector<std::string>& args) {
    TempDir config;
    std::vector<std::string> argv = {"env", "XDG_DATA_HOME=" + data_home, "XDG_DATA_DIRS=/usr/share",
                                     "XDG_CONFIG_HOME=" + config.path(), "XDG_CURRENT_DESKTOP=GNOME", "xdg-mime"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv);
  }

  static TempDir* prefix_;
  static RunResult* install_;
};

TempDir* DesktopInstall::prefix_ = nullptr;
RunResult* DesktopInstall::install_ = nullptr;

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

TEST_F(DesktopInstall, EveryFileWhereTheDesktopLooksForIt) {
  for (const char* file : {
           "bin/lvrview",
           "share/applications/lvrview.desktop",                             // desktop entry
           "share/mime/packages/lumra-lvr.xml",                              // shared-mime-info source
           "share/mime/mime.cache",                                          // remade by the install
           "share/applications/mimeinfo.cache",                              // handlers, remade too
           "share/icons/hicolor/scalable/apps/lvrview.svg",                  // the entry's Icon=
           "share/icons/hicolor/scalable/mimetypes/application-x-lvr.svg",   // the type's icon
           "share/lumra/examples/demo.lvr"}) {
    EXPECT_TRUE(exists(at(file))) << file;
  }
  const Bytes cache = read_file(at("share/applications/mimeinfo.cache"));
  EXPECT_NE(std::string(cache.begin(), cache.end()).find("application/x-lvr=lvrview.desktop;"), std::string::npos);
}

TEST_F(DesktopInstall, TheDesktopEntryValidatesAndOpensPackages) {
  const std::string entry = at("share/applications/lvrview.desktop");
  const RunResult validate = run({"desktop-file-validate", entry});
  EXPECT_EQ(validate.status, 0) << validate.out;
  EXPECT_EQ(validate.out, "") << "no warnings or hints either";

  std::map<std::string, std::map<std::string, std::string>> groups;  // group -> key -> value
  const Bytes text = read_file(entry);
  std::istringstream in(std::string(text.begin(), text.end()));
  std::string group;
  for (std::string line; std::getline(in, line);) {
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') group = line.substr(1, line.size() - 2);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) groups[group][line.substr(0, eq)] = line.substr(eq + 1);
  }
  auto& keys = groups["Desktop Entry"];
  EXPECT_EQ(keys["Type"], "Application");
  EXPECT_EQ(keys["Exec"], "lvrview %f") << "one package per run, as a local path";
  EXPECT_EQ(keys["MimeType"], "application/x-lvr;");
  EXPECT_EQ(keys["Icon"], "lvrview");
  EXPECT_EQ(keys["Actions"], "serve;");
  auto& serve = groups["Desktop Action serve"];
  EXPECT_EQ(serve["Name"], "Open in browser through a local server");
  EXPECT_EQ(serve["Exec"], "lvrview --serve %f");
}

TEST_F(DesktopInstall, APackageResolvesToItsTypeAndTheViewer) {
  TempDir files;
  const Bytes package = read_file(at("share/lumra/examples/demo.lvr"));
  ASSERT_FALSE(package.empty());
  for (const char* name : {"demo.lvr", "DEMO.LVR"}) {
    ASSERT_TRUE(write_file(files / name, package));
    const RunResult type = xdg_mime(at("share"), {"query", "filetype", files / name});
    EXPECT_EQ(type.status, 0) << type.out;
    EXPECT_EQ(trimmed(type.out), "application/x-lvr") << name;
  }
  const RunResult handler = xdg_mime(at("share"), {"query", "default", "application/x-lvr"});
  EXPECT_EQ(handler.status, 0) << handler.out;
  EXPECT_EQ(trimmed(handler.out), "lvrview.desktop");

  // Without the prefix the same bytes are only a zip file: the type comes from the install (unless
  // the system holds the type already, from an install into /usr).
  if (exists("/usr/share/mime/packages/lumra-lvr.xml")) return;
  TempDir empty;
  const RunResult plain = xdg_mime(empty.path(), {"query", "filetype", files / "demo.lvr"});
  EXPECT_EQ(trimmed(plain.out), "application/zip");
}

}  // namespace
}  // namespace lumra::files
