// The private temporary folder and exclusive temporary names.
#include "framework/files/temp.h"

#include <gtest/gtest.h>

#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using test_support::TempDir;

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

TEST_F(TempTest, APlantedLinkIsRefused) {
  test_support::make_dirs(dir_ / "elsewhere");
  ASSERT_EQ(symlink((dir_ / "elsewhere").c_str(), (dir_ / ("lumra-" + std::to_string(geteuid()))).c_str()), 0);
  std::string path;
  EXPECT_EQ(temp_path(&path), 0);
  EXPECT_EQ(make_private_folder((dir_ / "elsewhere").c_str()), 1);
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
