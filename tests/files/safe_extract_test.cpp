// Where extraction may write: name checks, and the folder walk that refuses links, replaces
// whatever sits under an output name, and enforces the platform's path limits.
#include "framework/files/safe_extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using test_support::Bytes;
using test_support::exists;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

TEST(SafeExtract, MemberNameChecks) {
  struct Case {
    const char* name;
    bool safe;
  };
  const Case cases[] = {
      {"a\\b\\c.txt", true},  {"a/b/c.txt", true},   {"a..b\\c", true},     {"...", true},
      {"a\\.\\b", true},      {"/etc/passwd", false}, {"\\evil", false},    {"C:evil", false},
      {"C:\\evil", false},    {"..", false},         {"..\\evil", false},   {"../evil", false},
      {"a/../../b", false},   {"a\\..", false},      {"a/..\\b", false},    {"a\nb", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(member_name_safe(c.name), c.safe);
    if (!c.safe) {
      EXPECT_NE(std::string(base::last_error()).find("refused"), std::string::npos);
    }
  }
}

struct Made {
  int result;
  bool no_space;
  bool refused;
};

Made create(OutputTree* tree, const std::string& root, const std::string& relative, const std::string& data = "x") {
  OutputFile out;
  bool no_space = false;
  const int result = output_create(tree, root, relative, &out, &no_space);
  if (result && out.fd) {
    EXPECT_EQ(write(static_cast<int>(out.fd.get()), data.data(), data.size()), static_cast<ssize_t>(data.size()));
  }
  return {result, no_space, out.refused};
}

TEST(SafeExtract, CreatesFoldersAndFiles) {
  TempDir dir;
  OutputTree tree;
  EXPECT_EQ(create(&tree, dir / "new/root", "a\\b/c.txt", "hello").result, 1);
  EXPECT_EQ(create(&tree, dir / "new/root", "a\\b\\d.txt").result, 1);  // same folder, kept open
  EXPECT_EQ(create(&tree, dir / "new/root", "e\\").result, 1);         // a folder only
  tree = OutputTree{};  // closes its folders
  EXPECT_EQ(read_file(dir / "new/root/a/b/c.txt"), Bytes({'h', 'e', 'l', 'l', 'o'}));
  EXPECT_TRUE(exists(dir / "new/root/a/b/d.txt"));
  struct stat st {};
  ASSERT_EQ(stat((dir / "new/root/e").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(SafeExtract, LinksOnTheMemberPathAreRefused) {
  TempDir dir;
  test_support::make_dirs(dir / "outside");
  test_support::make_dirs(dir / "dest");
  ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "dest/sub").c_str()), 0);
  OutputTree tree;
  const Made m = create(&tree, dir / "dest", "sub/evil.txt");
  tree = OutputTree{};
  EXPECT_EQ(m.result, 0);
  EXPECT_TRUE(m.refused);
  EXPECT_NE(std::string(base::last_error()).find("symbolic link"), std::string::npos);
  EXPECT_FALSE(exists(dir / "outside/evil.txt"));
}

TEST(SafeExtract, TheCallersOwnFolderMayBeALink) {
  TempDir dir;
  test_support::make_dirs(dir / "real");
  ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "chosen").c_str()), 0);
  OutputTree tree;
  EXPECT_EQ(create(&tree, dir / "chosen", "f.txt").result, 1);
  tree = OutputTree{};
  EXPECT_TRUE(exists(dir / "real/f.txt"));
}

TEST(SafeExtract, WhateverIsUnderTheNameIsReplacedNotWrittenThrough) {
  TempDir dir;
  test_support::make_dirs(dir / "dest");
  write_file(dir / "victim", std::string("victim"));
  ASSERT_EQ(symlink((dir / "victim").c_str(), (dir / "dest/link.txt").c_str()), 0);
  ASSERT_EQ(link((dir / "victim").c_str(), (dir / "dest/hard.txt").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "dest/pipe.txt").c_str(), 0644), 0);
  OutputTree tree;
  for (const char* name : {"link.txt", "hard.txt", "pipe.txt"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(create(&tree, dir / "dest", name, "new").result, 1);
    EXPECT_EQ(read_file(dir / "dest" + std::string("/") + name), Bytes({'n', 'e', 'w'}));
  }
  tree = OutputTree{};
  EXPECT_EQ(read_file(dir / "victim"), Bytes({'v', 'i', 'c', 't', 'i', 'm'}));
}

TEST(SafeExtract, FolderInTheWayAndPlatformLimits) {
  TempDir dir;
  test_support::make_dirs(dir / "dest/taken");
  OutputTree tree;
  EXPECT_EQ(create(&tree, dir / "dest", "taken").result, 0);
  EXPECT_EQ(create(&tree, dir / "dest", std::string(256, 'n')).result, 0);
  EXPECT_NE(std::string(base::last_error()).find("longer than 255"), std::string::npos);
  EXPECT_EQ(create(&tree, dir / "dest", std::string(255, 'n')).result, 1);
  std::string deep;
  while (deep.size() < 4100) deep += "d/";
  EXPECT_EQ(create(&tree, dir / "dest", deep + "f").result, 0);
  EXPECT_NE(std::string(base::last_error()).find("longer than 4095"), std::string::npos);
  EXPECT_EQ(create(&tree, dir / "dest", "../escape").result, 0);
  tree = OutputTree{};
  EXPECT_FALSE(exists(dir / "escape"));
  EXPECT_FALSE(exists(dir / "dest/d"));
}

// Members that alternate between folders deep down must not walk the whole path again each time
// (thousands of levels cost milliseconds per member): the folders on the way stay open.
TEST(SafeExtract, DeepFoldersStayOpenSoSiblingsCostOneStep) {
  TempDir dir;
  std::string deep;
  for (int i = 0; i < 200; ++i) deep += "d/";
  OutputTree tree;
  ASSERT_EQ(create(&tree, dir / "dest", deep + "a/f0").result, 1) << base::last_error();
  // Were the path walked again from the top, the next member would land in a new dest/d.
  ASSERT_EQ(rename((dir / "dest/d").c_str(), (dir / "dest/moved").c_str()), 0);
  for (int i = 1; i < 6; ++i) {
    const std::string relative = deep + (i % 2 ? "b/f" : "a/f") + std::to_string(i);
    ASSERT_EQ(create(&tree, dir / "dest", relative).result, 1) << base::last_error();
    ASSERT_EQ(tree.parts.size(), 201u);
    EXPECT_TRUE(tree.handles[199]);  // the folder both share
    size_t open = 0;
    for (const base::OwnedDescriptor& h : tree.handles) open += h ? 1 : 0;
    EXPECT_LE(open, 30u);  // a few handles, not one per level
  }
  tree = OutputTree{};
  EXPECT_FALSE(exists(dir / "dest/d"));
  const std::string moved = dir / "dest/moved" + deep.substr(1);
  EXPECT_TRUE(exists(moved + "b/f5"));
  EXPECT_TRUE(exists(moved + "a/f4"));
}

TEST(SafeExtract, DiscardRemovesThePartialFile) {
  TempDir dir;
  OutputTree tree;
  OutputFile out;
  bool no_space = false;
  ASSERT_EQ(output_create(&tree, dir.path(), "p/partial.bin", &out, &no_space), 1);
  output_discard(&tree, &out);
  tree = OutputTree{};
  EXPECT_FALSE(exists(dir / "p/partial.bin"));
  EXPECT_FALSE(out.fd);
}

}  // namespace
}  // namespace lumra::files
