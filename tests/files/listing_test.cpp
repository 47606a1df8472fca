// Directory listings, existence tests, deleting files and trees, on real folders.
#include "framework/files/listing.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using test_support::exists;
using test_support::make_dirs;
using test_support::TempDir;
using test_support::write_file;

std::vector<std::pair<std::string, int>> listed(const std::string& pattern, int descend, int mode) {
  base::DynArray listing{};
  std::vector<std::pair<std::string, int>> out;
  if (!list_files(&listing, pattern.c_str(), descend, mode)) return out;
  uint8_t* at = nullptr;
  while (base::array_next(&listing, &at)) {
    const auto* e = reinterpret_cast<const ListingEntry*>(at);
    out.emplace_back(e->path, e->depth);
  }
  base::array_release(&listing);
  return out;
}

// t/a.txt t/b.TXT t/c.bin t/readme t/sub/d.txt t/sub/deeper/e.txt t/.git/f.txt
struct Tree {
  TempDir dir;
  std::string t = dir / "t";
  Tree() {
    make_dirs(t + "/sub/deeper");
    make_dirs(t + "/.git");
    for (const char* f : {"a.txt", "b.TXT", "c.bin", "readme", "sub/d.txt", "sub/deeper/e.txt", ".git/f.txt"}) {
      write_file(t + "/" + f, std::string("x"));
    }
  }
};

TEST(Listing, FileExistsCountsWildcardMatches) {
  Tree tr;
  EXPECT_EQ(file_exists((tr.t + "/a.txt").c_str()), 1);
  EXPECT_EQ(file_exists((tr.t + "/nothere.txt").c_str()), 0);
  EXPECT_EQ(file_exists((tr.t + "/*.txt").c_str()), 2);  // case is ignored: b.TXT counts
  EXPECT_EQ(file_exists((tr.t + "\\*.*").c_str()), 4);   // folders are not files
}

TEST(Listing, DirectoryExists) {
  Tree tr;
  EXPECT_EQ(directory_exists((tr.t + "/sub").c_str()), 1);
  EXPECT_EQ(directory_exists((tr.t + "/sub/").c_str()), 0);  // the search gets an empty name
  EXPECT_EQ(directory_exists((tr.t + "/a.txt").c_str()), 0);
  EXPECT_EQ(directory_exists(tr.t.c_str()), 1);
}

TEST(Listing, DescentListsMatchingFilesInEveryFolderBelow) {
  Tree tr;
  const auto got = listed(tr.t + "/*.txt", 1, kListFiles);
  const std::vector<std::pair<std::string, int>> want = {
      {tr.t + "/a.txt", 0}, {tr.t + "/b.TXT", 0}, {tr.t + "/sub/d.txt", 1}, {tr.t + "/sub/deeper/e.txt", 2}};
  EXPECT_EQ(got, want);  // ".git" is not entered
  EXPECT_TRUE(listed(tr.t + "/*.", 1, kListFiles).empty());  // an explicit empty extension never matches
  EXPECT_EQ(listed(tr.t + "/*", 0, kListFiles), (std::vector<std::pair<std::string, int>>{{tr.t + "/readme", 0}}));
}

TEST(Listing, FoldersParentsFirstWithDescent) {
  Tree tr;
  const auto got = listed(tr.t + "/*.*", 1, kListDirectories);
  const std::vector<std::pair<std::string, int>> want = {{tr.t + "/sub", 0}, {tr.t + "/sub/deeper", 1}};
  EXPECT_EQ(got, want);
  EXPECT_TRUE(listed(tr.t + "/*.*", 1, 7).empty());  // any other mode lists nothing
}

TEST(Listing, EntryFieldsAndNoDuplicates) {
  TempDir dir;
  write_file(dir / "f.dat", std::string(1234, 'q'));
  test_support::set_mtime(dir / "f.dat", unix_from_dos_time(pack_dos_time(2021, 6, 15, 13, 45, 30)));
  base::DynArray listing{};
  ASSERT_EQ(list_files(&listing, (dir / "*.dat").c_str(), 0, kListFiles), 1);
  ASSERT_EQ(list_files(&listing, (dir / "*.dat").c_str(), 0, kListFiles), 1);
  ASSERT_EQ(listing.count, 1u);  // the same path is not listed twice
  const auto* e = static_cast<const ListingEntry*>(base::array_at(&listing, 0));
  EXPECT_STREQ(e->name, "f.dat");
  EXPECT_EQ(e->size, 1234u);
  EXPECT_EQ(e->modified.year, 2021);
  EXPECT_EQ(e->modified.month, 6);
  EXPECT_EQ(e->modified.day, 15);
  EXPECT_EQ(e->modified.hour, 13);
  EXPECT_EQ(e->modified.minute, 45);
  EXPECT_EQ(e->modified.second, 30);
  base::array_release(&listing);
  EXPECT_EQ(list_files(&listing, (dir / "*.none").c_str(), 0, kListFiles), 0);
  EXPECT_EQ(listing.data, nullptr);  // nothing found: no storage left behind
}

TEST(Listing, LinkedFoldersAreListedButNeverEntered) {
  TempDir dir;
  make_dirs(dir / "t/sub");
  write_file(dir / "t/sub/a.txt", std::string("x"));
  ASSERT_EQ(symlink("..", (dir / "t/sub/loop").c_str()), 0);
  EXPECT_EQ(listed(dir / "t/*.txt", 1, kListFiles).size(), 1u);
  EXPECT_EQ(listed(dir / "t/*.*", 1, kListDirectories).size(), 2u);
}

TEST(Listing, DeleteFilesByPattern) {
  Tree tr;
  EXPECT_EQ(delete_files_in_folder(tr.t.c_str(), "*.txt", 1), 1);
  EXPECT_FALSE(exists(tr.t + "/a.txt"));
  EXPECT_FALSE(exists(tr.t + "/sub/deeper/e.txt"));
  EXPECT_TRUE(exists(tr.t + "/c.bin"));
  EXPECT_EQ(delete_files((tr.t + "/*.txt").c_str(), 1), 0);  // none left to match
}

TEST(Listing, DeleteTreeEmptiesTheFolderAndKeepsIt) {
  Tree tr;
  EXPECT_EQ(delete_tree(tr.t.c_str()), 1);
  EXPECT_TRUE(exists(tr.t));
  EXPECT_TRUE(test_support::tree(tr.t).empty());
  EXPECT_FALSE(exists(tr.t + "/.git"));  // folders beginning with "." go too
  EXPECT_FALSE(exists(tr.t + "/sub"));
  EXPECT_EQ(delete_tree(""), 0);
  EXPECT_EQ(delete_tree((tr.t + "/sub").c_str()), 1);  // no longer there: nothing to remove
  EXPECT_EQ(delete_tree((tr.dir / "never-made").c_str()), 1);
  EXPECT_FALSE(exists(tr.dir / "never-made"));
}

TEST(Listing, DeleteTreeRemovesLinksWithoutFollowingThem) {
  TempDir dir;
  make_dirs(dir / "outside");
  write_file(dir / "outside/keep.txt", std::string("keep"));
  make_dirs(dir / "t/sub");
  ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "t/sub/link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "outside/keep.txt").c_str(), (dir / "t/file-link").c_str()), 0);
  EXPECT_EQ(delete_tree((dir / "t").c_str()), 1);
  EXPECT_TRUE(exists(dir / "outside/keep.txt"));
  EXPECT_FALSE(exists(dir / "t/sub"));
  EXPECT_FALSE(exists(dir / "t/file-link"));
}

TEST(Listing, DeleteTreeHandlesTreesDeeperThanTheOpenFileLimit) {
  TempDir dir;
  struct rlimit old {};
  getrlimit(RLIMIT_NOFILE, &old);
  struct rlimit low = old;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < 200 && fd >= 0; ++i) {
    mkdirat(fd, "d", 0755);
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(openat(next, "f", O_WRONLY | O_CREAT, 0644));
    close(fd);
    fd = next;
  }
  close(fd);
  const int result = delete_tree(dir.path().c_str());
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(exists(dir / "d"));
}

}  // namespace
}  // namespace lumra::files
