// Path splitting and joining: drive, folder, base name and extension with either separator.
#include "framework/files/path.h"

#include <gtest/gtest.h>

namespace lumra::files {
namespace {

TEST(Path, SplitsIntoFourParts) {
  struct Case {
    const char* path;
    const char* drive;
    const char* dir;
    const char* base;
    const char* ext;
  };
  const Case cases[] = {
      {"C:\\dir\\name.ext", "C:", "\\dir\\", "name", ".ext"},
      {"a/b\\c.tar.gz", "", "a/b\\", "c.tar", ".gz"},
      {"name", "", "", "name", ""},
      {".hidden", "", "", "", ".hidden"},
      {"dir\\", "", "dir\\", "", ""},
      {"C:name", "C:", "", "name", ""},
      {"", "", "", "", ""},
      {"d.x/name", "", "d.x/", "name", ""},
      {"..", "", "", ".", "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const PathParts p = split_path(c.path);
    EXPECT_EQ(p.drive, c.drive);
    EXPECT_EQ(p.dir, c.dir);
    EXPECT_EQ(p.base, c.base);
    EXPECT_EQ(p.ext, c.ext);
    EXPECT_EQ(join_path(p), c.path);
  }
}

TEST(Path, JoinAddsOneSeparatorAfterAFolderThatLacksIt) {
  EXPECT_EQ(join_path("", "dir", "a", ".txt"), "dir/a.txt");
  EXPECT_EQ(join_path("", "dir/", "a", ".txt"), "dir/a.txt");
  EXPECT_EQ(join_path("C:", "dir", "a", "", '\\'), "C:dir\\a");
  EXPECT_EQ(join_path("", "", "a", ".txt"), "a.txt");
}

TEST(Path, SystemFormAndNameComparison) {
  EXPECT_EQ(system_path("a\\b/c\\d"), "a/b/c/d");
  // Bytes above 127 reach the system as given: no character-set conversion.
  EXPECT_EQ(system_path("\x82t\xe9\\\x81.txt"), "\x82t\xe9/\x81.txt");
  EXPECT_EQ(with_separator("a/b\\c", '\\'), "a\\b\\c");
  EXPECT_TRUE(same_name("Docs\\A.TXT", "docs/a.txt"));
  EXPECT_FALSE(same_name("docs/a.txt", "docs/a.txu"));
  EXPECT_FALSE(same_name("a", "ab"));
  EXPECT_TRUE(has_wildcards("a*.txt"));
  EXPECT_TRUE(has_wildcards("a?"));
  EXPECT_FALSE(has_wildcards("a.txt"));
}

}  // namespace
}  // namespace lumra::files
