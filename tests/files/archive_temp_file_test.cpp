// The temporary archives of adding and deleting: a name of their own beside the archive, created
// exclusively and open to the owner only, so that another add running at once, or whatever anyone
// planted under the old fixed names (a link, a hard link, a named pipe, a user's own file), is
// never written through, truncated, waited on or removed; and none is ever left behind.
#include <gtest/gtest.h>

#include <dirent.h>

#include "tests/files/archive_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

// Names in `folder` ending in ".~KX".
std::vector<std::string> temporaries(const std::string& folder) {
  std::vector<std::string> out;
  DIR* d = opendir(folder.c_str());
  if (!d) return out;
  while (const dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n.size() >= 4 && n.compare(n.size() - 4, 4, ".~KX") == 0) out.push_back(n);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

std::string add_entry(const std::string& file) { return "+" + bs(file) + "/"; }

struct Planted {
  const char* what;
  void (*plant)(const std::string& name, const std::string& victim);
  bool (*intact)(const std::string& name, const std::string& victim);
};

TEST(TempArchive, WhatIsPlantedUnderTheOldNamesIsNeverTouched) {
  const Planted plantings[] = {
      {"a link to a victim", [](const std::string& n, const std::string& v) { ASSERT_EQ(symlink(v.c_str(), n.c_str()), 0); },
       [](const std::string& n, const std::string&) {
         struct stat st {};
         return lstat(n.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
       }},
      {"a hard link to a victim", [](const std::string& n, const std::string& v) { ASSERT_EQ(link(v.c_str(), n.c_str()), 0); },
       [](const std::string& n, const std::string&) { return read_file(n) == Bytes({'v', 'i', 'c', 't', 'i', 'm'}); }},
      {"a user's own file", [](const std::string& n, const std::string&) { ASSERT_TRUE(write_file(n, std::string("mine"))); },
       [](const std::string& n, const std::string&) { return read_file(n) == Bytes({'m', 'i', 'n', 'e'}); }},
      {"a named pipe", [](const std::string& n, const std::string&) { ASSERT_EQ(mkfifo(n.c_str(), 0600), 0); },
       [](const std::string& n, const std::string&) {
         struct stat st {};
         return lstat(n.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
       }},
  };
  for (const Planted& p : plantings) {
    for (const char* name : {"a.kx", "a.zip"}) {
      SCOPED_TRACE(testing::Message() << p.what << ", " << name);
      TempDir dir;
      const std::string archive = dir / name;
      const std::string victim = dir / "victim.txt";
      write_file(victim, std::string("victim"));
      write_file(dir / "one.txt", sample(50000, 0, 1));
      write_file(dir / "two.txt", sample(50000, 0, 2));
      ASSERT_EQ(arc(kActionAdd, archive, {add_entry(dir / "one.txt")}), 1) << base::last_error();
      const std::vector<std::string> planted = {dir / "TMPFILE.~KX", archive + ".~KX"};
      for (const std::string& n : planted) p.plant(n, victim);
      EXPECT_EQ(arc(kActionAdd, archive, {add_entry(dir / "two.txt")}), 1) << base::last_error();
      EXPECT_EQ(arc(kActionDelete, archive, {"one.txt"}), 1) << base::last_error();
      EXPECT_EQ(listed_names(archive), std::vector<std::string>{"two.txt"});
      EXPECT_EQ(read_file(victim), Bytes({'v', 'i', 'c', 't', 'i', 'm'}));
      for (const std::string& n : planted) EXPECT_TRUE(p.intact(n, victim)) << n;
      EXPECT_EQ(temporaries(dir.path()), (std::vector<std::string>{"TMPFILE.~KX", std::string(name) + ".~KX"}));
    }
  }
}

struct Nested {
  std::string folder;
  std::string other_archive;
  std::string other_file;
  bool done = false;
  int result = -1;
  std::vector<std::string> seen;  // temporary archives present while the outer add ran
  mode_t mode = 0;
};

// On its first report, the outer add lets a second add run in the same folder to its end.
int run_another_add(int code, void* data, const ProgressInfo&) {
  auto* n = static_cast<Nested*>(data);
  if (code != kProgressMember || n->done) return 1;
  n->done = true;
  n->seen = temporaries(n->folder);
  struct stat st {};
  if (!n->seen.empty() && lstat((n->folder + "/" + n->seen[0]).c_str(), &st) == 0) n->mode = st.st_mode;
  n->result = arc(kActionAdd, n->other_archive, {add_entry(n->other_file)});
  return 1;
}

TEST(TempArchive, TwoAddsInOneFolderAtOnceKeepTheirOwnMembers) {
  for (const char* ext : {".zip", ".kx"}) {
    SCOPED_TRACE(ext);
    TempDir dir;
    write_file(dir / "big1.bin", sample(300000, 1, 1));
    write_file(dir / "big2.bin", sample(300000, 1, 2));
    Nested n;
    n.folder = dir.path();
    n.other_archive = dir / (std::string("B") + ext);
    n.other_file = dir / "big2.bin";
    ASSERT_EQ(arc(kActionAdd, dir / (std::string("A") + ext), {add_entry(dir / "big1.bin")}, 0, run_another_add, &n), 1)
        << base::last_error();
    EXPECT_EQ(n.result, 1);
    EXPECT_EQ(listed_names(dir / (std::string("A") + ext)), std::vector<std::string>{"big1.bin"});
    EXPECT_EQ(listed_names(dir / (std::string("B") + ext)), std::vector<std::string>{"big2.bin"});
    ASSERT_EQ(n.seen.size(), 1u);
    EXPECT_EQ(n.seen[0].find("TMPFILE-"), 0u) << n.seen[0];
    EXPECT_TRUE(S_ISREG(n.mode));
    EXPECT_EQ(n.mode & 0777, 0600u);
    EXPECT_TRUE(temporaries(dir.path()).empty());
    const std::string out = dir / "out";
    ASSERT_EQ(arc(kActionExtract, dir / (std::string("A") + ext), {"+*.*/+" + bs(out)}), 1);
    EXPECT_EQ(read_file(out + "/big1.bin"), read_file(dir / "big1.bin"));
  }
}

TEST(TempArchive, TheArchiveKeepsItsPermissionsAndANewOneGetsTheDefault) {
  for (const char* name : {"p.kx", "p.zip"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    write_file(dir / "f.txt", std::string("f"));
    const std::string archive = dir / name;
    ASSERT_EQ(arc(kActionAdd, archive, {add_entry(dir / "f.txt")}), 1);
    const mode_t mask = umask(022);
    umask(mask);
    struct stat st {};
    ASSERT_EQ(stat(archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
    ASSERT_EQ(chmod(archive.c_str(), 0640), 0);
    ASSERT_EQ(arc(kActionAdd, archive, {add_entry(dir / "f.txt")}), 1);
    ASSERT_EQ(arc(kActionDelete, archive, {"f.txt"}), 1);
    ASSERT_EQ(stat(archive.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(temporaries(dir.path()).empty());
  }
}

}  // namespace
}  // namespace lumra::files
