// The private temporary folder and exclusive temporary names.
#include "framework/files/temp.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "framework/files/archive_command.h"
#include "framework/files/path.h"
#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using test_support::TempDir;

mode_t test_umask() {
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

class TempTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (had_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  TempDir dir_;
  bool had_ = false;
  std::string old_;
};

TEST_F(TempTest, TempPathIsAPrivateFolderOfOurOwn) {
  std::string path;
  ASSERT_EQ(temp_path(&path), 1);
  EXPECT_EQ(path, dir_.path() + "/lumra-" + std::to_string(geteuid()) + "/");
  struct stat st {};
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  chmod(path.c_str(), 0755);  // an existing one is made private again
  ASSERT_EQ(temp_path(&path), 1);
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// Whoever takes the predictable name first (a link planted there, another user's folder) cannot
// keep this user from a private folder: an unpredictable one is made instead, and kept.
TEST_F(TempTest, ATakenNameFallsBackToAnUnpredictableFolder) {
  const std::string predictable = dir_ / ("lumra-" + std::to_string(geteuid()));
  test_support::make_dirs(dir_ / "elsewhere");
  ASSERT_EQ(symlink((dir_ / "elsewhere").c_str(), predictable.c_str()), 0);
  std::string path;
  ASSERT_EQ(temp_path(&path), 1) << base::last_error();
  EXPECT_EQ(path.find(predictable + "-"), 0u) << path;
  EXPECT_EQ(path.size(), predictable.size() + 1 + 6 + 1);
  struct stat st {};
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  std::string again;
  ASSERT_EQ(temp_path(&again), 1);
  EXPECT_EQ(again, path);  // one fallback for the process, not a new one per call
  EXPECT_TRUE(test_support::tree(dir_ / "elsewhere").empty());
  EXPECT_EQ(make_private_folder(predictable.c_str()), 0);  // the link itself stays refused

  if (geteuid() == 0) {  // only root can give a folder to another user
    ASSERT_EQ(unlink(predictable.c_str()), 0);
    ASSERT_EQ(mkdir(predictable.c_str(), 0755), 0);
    ASSERT_EQ(chown(predictable.c_str(), 65534, 65534), 0);
    EXPECT_EQ(make_private_folder(predictable.c_str()), 0);
    std::string fallback;
    ASSERT_EQ(temp_path(&fallback), 1) << base::last_error();
    EXPECT_EQ(fallback.find(predictable + "-"), 0u) << fallback;
  }
}

TEST_F(TempTest, WhatIsExtractedIntoThePrivateFolderIsTheOwnersAlone) {
  test_support::TempDir src;
  test_support::make_dirs(src / "tree/sub");
  test_support::write_file(src / "tree/sub/f.txt", std::string("private"));
  test_support::write_file(src / "tree/top.txt", std::string("private"));
  const std::string archive = src / "p.zip";
  const std::vector<char> add = test_support::selection({"+" + with_separator(src / "tree", '\\') + "\\*.*/+"});
  ASSERT_EQ(archive_command(kActionAddTree, archive.c_str(), 1, add.data(), 0, nullptr, nullptr, 32, 0, kFormatDetect), 1);
  std::string base;
  ASSERT_EQ(temp_path(&base), 1);
  for (const std::string& dest : {base + "LVR1234.tmp", src / "public"}) {
    SCOPED_TRACE(dest);
    const std::vector<char> list = test_support::selection({"+*.*/+" + with_separator(dest, '\\')});
    ASSERT_EQ(archive_command(kActionExtract, archive.c_str(), 1, list.data(), 0, nullptr, nullptr, 32, 0, kFormatDetect),
              1)
        << base::last_error();
    const bool private_dest = dest.find(base) == 0;
    struct stat st {};
    for (const char* file : {"/top.txt", "/sub/f.txt"}) {
      ASSERT_EQ(lstat((dest + file).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, private_dest ? 0600u : 0666u & ~test_umask()) << file;
    }
    ASSERT_EQ(lstat((dest + "/sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, private_dest ? 0700u : 0777u & ~test_umask());
  }
}

TEST_F(TempTest, TempFileNamesAreCreatedExclusively) {
  std::string a;
  std::string b;
  const unsigned na = temp_file_name(dir_.path().c_str(), "LVRX", 0, &a);
  const unsigned nb = temp_file_name(dir_.path().c_str(), "LVR", 0, &b);
  ASSERT_NE(na, 0u);
  ASSERT_NE(nb, 0u);
  EXPECT_NE(a, b);
  EXPECT_TRUE(test_support::exists(a));
  EXPECT_TRUE(test_support::exists(b));
  EXPECT_EQ(a.substr(dir_.path().size() + 1, 3), "LVR");  // three characters of the prefix
  EXPECT_EQ(a.size(), dir_.path().size() + 1 + 3 + 4 + 4);
  std::string c;
  EXPECT_EQ(temp_file_name(dir_.path().c_str(), "LVR", 0x1A, &c), 0x1Au);
  EXPECT_EQ(c, dir_.path() + "/LVR001A.tmp");
  EXPECT_FALSE(test_support::exists(c));  // a given number only forms the name
}

}  // namespace
}  // namespace lumra::files
