// The viewer's temporary folders on real folders: the temporary path, the private base folder and
// its fall-back when the name is squatted, exclusive "LVR" names (the framework's call), locked
// unpack folders, removal that never follows links, and the sweep of left-overs, with a lock held
// by another process.
#include "platform/system/temp.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "desktop_test_support.h"
#include "framework/files/temp.h"

namespace lumra::sys {
namespace {

using test_support::Environment;
using test_support::exists;
using test_support::read_text;
using test_support::TempFolder;
using test_support::write_text;

mode_t mode_of(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Sets a folder's modification time `seconds` into the past.
void age(const std::string& path, int seconds) {
  timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= seconds;
  times[1] = times[0];
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

bool locked_by_someone(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

TEST(TempPath, FollowsTmpdirWhenItNamesAnAbsoluteFolder) {
  TempFolder dir;
  Environment env;
  struct Case {
    std::string tmpdir;  // "" unsets it
    std::string expected;
  } cases[] = {
      {dir.path(), dir.path() + "/"},
      {dir.path() + "/", dir.path() + "/"},
      {"", "/tmp/"},
      {"relative/folder", "/tmp/"},
      {dir / "missing", "/tmp/"},
      {"/", "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tmpdir);
    if (c.tmpdir.empty()) {
      env.unset("TMPDIR");
    } else {
      env.set("TMPDIR", c.tmpdir);
    }
    EXPECT_EQ(temp_path(), c.expected);
  }
}

TEST(BaseFolder, IsCreatedPrivateOrMadePrivate) {
  TempFolder dir;
  const std::string base = dir / "LumraVRviewer";
  const mode_t old = umask(0);
  std::string used, why;
  const bool made = make_private_base_folder(base, &used, &why);
  umask(old);
  ASSERT_TRUE(made) << why;
  EXPECT_EQ(used, base);
  EXPECT_EQ(mode_of(base) & 07777, 0700u);
  ASSERT_EQ(chmod(base.c_str(), 0755), 0);
  ASSERT_TRUE(make_private_base_folder(base, &used, &why)) << why;
  EXPECT_EQ(used, base);
  EXPECT_EQ(mode_of(base) & 07777, 0700u);
  // The doubled separator of "temp path" + "/LumraVRviewer" is just a separator.
  ASSERT_TRUE(make_private_base_folder(dir.path() + "//LumraVRviewer", &used, &why)) << why;
  EXPECT_EQ(used, dir.path() + "//LumraVRviewer");
}

TEST(BaseFolder, AnUnusableNameFallsBackToTheUsersOwn) {
  TempFolder dir;
  ASSERT_EQ(mkdir((dir / "real").c_str(), 0755), 0);
  const std::string own_suffix = "-" + user_tag();
  struct Case {
    const char* name;
    void (*plant)(const std::string& base, const std::string& target);
  } cases[] = {
      {"a link to a folder", [](const std::string& b, const std::string& t) { ASSERT_EQ(symlink(t.c_str(), b.c_str()), 0); }},
      {"a dangling link", [](const std::string& b, const std::string& t) { ASSERT_EQ(symlink((t + "-gone").c_str(), b.c_str()), 0); }},
      {"a file", [](const std::string& b, const std::string&) { ASSERT_TRUE(write_text(b, "squat")); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string base = dir / (std::string("base-") + c.name[2]);
    c.plant(base, dir / "real");
    std::string used, why;
    ASSERT_TRUE(make_private_base_folder(base, &used, &why)) << why;
    EXPECT_EQ(used, base + own_suffix);
    EXPECT_TRUE(S_ISDIR(mode_of(used)));
    EXPECT_EQ(mode_of(used) & 07777, 0700u);
    EXPECT_EQ(mode_of(dir / "real") & 07777, 0755u) << "the link's target is not touched";
  }
}

TEST(BaseFolder, BothNamesUnusableIsAFailureWithBothReasons) {
  TempFolder dir;
  const std::string base = dir / "LumraVRviewer";
  ASSERT_EQ(symlink("/", base.c_str()), 0);
  ASSERT_TRUE(write_text(base + "-" + user_tag(), "squat"));
  std::string used = "unchanged", why;
  EXPECT_FALSE(make_private_base_folder(base, &used, &why));
  EXPECT_EQ(used, "unchanged");
  EXPECT_NE(why.find(base + " is not a folder"), std::string::npos) << why;
  EXPECT_NE(why.find(base + "-" + user_tag() + " is not a folder"), std::string::npos) << why;
  EXPECT_EQ(why.find('\n'), std::string::npos);
}

// Another user's folder under the name: only root can make one for the test (chown).
TEST(BaseFolder, AnotherUsersFolderIsNeverUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "making a folder owned by another user needs root";
  TempFolder dir;
  const std::string base = dir / "LumraVRviewer";
  constexpr uid_t kOther = 65534;  // nobody
  ASSERT_EQ(mkdir(base.c_str(), 0700), 0);
  ASSERT_EQ(chmod(base.c_str(), 0777), 0);
  ASSERT_EQ(chown(base.c_str(), kOther, kOther), 0);
  std::string used, why;
  ASSERT_TRUE(make_private_base_folder(base, &used, &why)) << why;
  EXPECT_EQ(used, base + "-" + user_tag());
  EXPECT_EQ(mode_of(base) & 07777, 0777u) << "the other user's folder is left as it is";

  // The user's own name squatted too: a failure that says whose the folders are.
  ASSERT_EQ(rmdir(used.c_str()), 0);
  ASSERT_EQ(mkdir(used.c_str(), 0700), 0);
  ASSERT_EQ(chown(used.c_str(), kOther, kOther), 0);
  EXPECT_FALSE(make_private_base_folder(base, &used, &why));
  EXPECT_NE(why.find("belongs to another user (uid 65534)"), std::string::npos) << why;
}

TEST(TempName, IsAnExclusiveLvrNameInTheBaseFolder) {
  TempFolder dir;
  std::string base, why;
  ASSERT_TRUE(make_private_base_folder(dir.path() + "//LumraVRviewer", &base, &why)) << why;
  std::vector<std::string> names;
  for (int i = 0; i < 64; ++i) {
    std::string name;
    ASSERT_NE(files::temp_file_name(base.c_str(), "LVR", 0, &name), 0u);
    const std::string leaf = name.substr(name.find_last_of('/') + 1);
    EXPECT_EQ(name, base + "/" + leaf);
    EXPECT_TRUE(is_unpack_folder_name(leaf.c_str(), "LVR")) << leaf;
    EXPECT_TRUE(S_ISREG(mode_of(name))) << "created, empty, as the system call leaves it";
    for (const std::string& n : names) ASSERT_NE(n, name);
    names.push_back(name);
  }
}

TEST(UnpackFolderName, IsThePrefixHexDigitsAndTmp) {
  struct Case {
    const char* name;
    bool expected;
  } cases[] = {
      {"LVR1A2B.tmp", true},  {"LVRF.tmp", true},      {"LVR0123ABCD.tmp", true},
      {"LVR1A2B.tm", false},  {"LVR.tmp", false},      {"LVR0123ABCDE.tmp", false},
      {"LVR1a2b.tmp", false}, {"LVR1G.tmp", false},    {"lvr1A2B.tmp", false},
      {"LVR1A2B.TMP", false}, {"LVR1A2B.tmpx", false}, {"XLVR1.tmp", false},
      {"LVR 1.tmp", false},   {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(is_unpack_folder_name(c.name, "LVR"), c.expected) << c.name;
}

class UnpackFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(make_private_base_folder(dir_ / "LumraVRviewer", &base_, &why)) << why;
  }
  std::string in_base(const std::string& name) const { return base_ + "/" + name; }

  TempFolder dir_;
  std::string base_;
};

TEST_F(UnpackFolders, AreMadeLockedAndPrivate) {
  UnpackFolder f;
  const std::string path = in_base("LVR1A2B.tmp");
  ASSERT_TRUE(ok(make_unpack_folder(path.c_str(), &f)));
  EXPECT_EQ(f.path, path);
  EXPECT_TRUE(S_ISDIR(mode_of(path)));
  EXPECT_EQ(mode_of(path) & 0077, 0u);
  EXPECT_TRUE(locked_by_someone(path));

  UnpackFolder again;
  EXPECT_TRUE(is_taken(make_unpack_folder(path.c_str(), &again))) << "a name taken meanwhile fails";
  EXPECT_EQ(again.folder, kNoDescriptor);

  ASSERT_TRUE(write_text(path + "/index.html", "page"));
  EXPECT_TRUE(remove_unpack_folder(&f));
  EXPECT_FALSE(exists(path));
  EXPECT_TRUE(exists(base_)) << "the base folder is kept";
  EXPECT_TRUE(remove_unpack_folder(&f)) << "a second removal does nothing";
}

TEST_F(UnpackFolders, ClosingWithoutRemovingUnlocks) {
  const std::string path = in_base("LVR1.tmp");
  {
    UnpackFolder f;
    ASSERT_TRUE(ok(make_unpack_folder(path.c_str(), &f)));
    EXPECT_TRUE(locked_by_someone(path));
  }
  EXPECT_TRUE(exists(path));
  EXPECT_FALSE(locked_by_someone(path));
}

// What a hostile package can leave in the unpack folder: links to the outside (to a folder, to a
// file, dangling), a read-only folder, a deep tree. Removal takes the links, never what they name.
TEST_F(UnpackFolders, RemovalNeverFollowsLinks) {
  const std::string outside = dir_ / "outside";
  ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  ASSERT_TRUE(write_text(outside + "/keep.txt", "keep"));
  UnpackFolder f;
  const std::string path = in_base("LVRABC.tmp");
  ASSERT_TRUE(ok(make_unpack_folder(path.c_str(), &f)));
  ASSERT_EQ(symlink(outside.c_str(), (path + "/to-folder").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/keep.txt").c_str(), (path + "/to-file").c_str()), 0);
  ASSERT_EQ(symlink("/nowhere", (path + "/dangling").c_str()), 0);
  ASSERT_EQ(mkdir((path + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(symlink(outside.c_str(), (path + "/sub/up").c_str()), 0);
  ASSERT_TRUE(write_text(path + "/sub/file", "x"));
  ASSERT_EQ(chmod((path + "/sub").c_str(), 0500), 0);
  std::string deep = path;
  for (int i = 0; i < 300; ++i) {
    deep += "/d";
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  }
  ASSERT_TRUE(write_text(deep + "/bottom", "x"));

  EXPECT_TRUE(remove_unpack_folder(&f));
  EXPECT_FALSE(exists(path));
  EXPECT_EQ(read_text(outside + "/keep.txt"), "keep");
}

TEST_F(UnpackFolders, RemoveTreeTakesALinkItselfAndAnythingUnderAName) {
  const std::string outside = dir_ / "outside";
  ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  ASSERT_TRUE(write_text(outside + "/keep.txt", "keep"));
  ASSERT_EQ(symlink(outside.c_str(), (dir_ / "link").c_str()), 0);
  EXPECT_TRUE(remove_tree((dir_ / "link").c_str()));
  EXPECT_FALSE(exists(dir_ / "link"));
  EXPECT_EQ(read_text(outside + "/keep.txt"), "keep");
  EXPECT_TRUE(remove_tree((dir_ / "outside/").c_str()));
  EXPECT_FALSE(exists(outside));
  EXPECT_TRUE(remove_tree((dir_ / "never-was").c_str()));
  EXPECT_FALSE(remove_tree(""));
}

// A child process that holds the lock of `folder` until the returned descriptor is closed.
pid_t hold_lock_in_child(const std::string& folder, int* release) {
  int ready[2], go[2];
  if (pipe(ready) != 0 || pipe(go) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(ready[0]);
    close(go[1]);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
    if (write(ready[1], &ok, 1) != 1) _exit(1);
    char c;
    while (read(go[0], &c, 1) < 0 && errno == EINTR) {
    }
    _exit(0);
  }
  close(ready[1]);
  close(go[0]);
  char ok = 'n';
  if (read(ready[0], &ok, 1) != 1 || ok != 'y') {
    close(ready[0]);
    close(go[1]);
    return -1;
  }
  close(ready[0]);
  *release = go[1];
  return pid;
}

TEST_F(UnpackFolders, SweepRemovesOnlyUnlockedOldUnpackFolders) {
  const std::string outside = dir_ / "outside";
  ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  ASSERT_TRUE(write_text(outside + "/keep.txt", "keep"));
  const auto folder = [&](const std::string& name) {
    ASSERT_EQ(mkdir(in_base(name).c_str(), 0700), 0);
    ASSERT_TRUE(write_text(in_base(name) + "/index.html", "page"));
  };
  // Left behind by a killed run: old and unlocked, with a link out.
  folder("LVR1A2B.tmp");
  ASSERT_EQ(symlink(outside.c_str(), in_base("LVR1A2B.tmp/out").c_str()), 0);
  ASSERT_EQ(mkdir(in_base("LVR1A2B.tmp/sub").c_str(), 0700), 0);
  age(in_base("LVR1A2B.tmp"), 3600);
  folder("LVR2.tmp");  // old enough by a second
  age(in_base("LVR2.tmp"), 62);
  // Kept: young; the Chrome profile beside a run's folder; other names; files; links.
  folder("LVR3.tmp");
  age(in_base("LVR3.tmp"), 30);
  folder("LVR1A2B.tm");
  age(in_base("LVR1A2B.tm"), 3600);
  folder("LVRabc.tmp");
  age(in_base("LVRabc.tmp"), 3600);
  folder("notes");
  age(in_base("notes"), 3600);
  ASSERT_TRUE(write_text(in_base("LVR4.tmp"), "a file"));
  age(in_base("LVR4.tmp"), 3600);
  ASSERT_EQ(symlink(outside.c_str(), in_base("LVR5.tmp").c_str()), 0);
  age(outside, 3600);
  // A live run of this process, and one of another process.
  UnpackFolder live;
  ASSERT_TRUE(ok(make_unpack_folder(in_base("LVR6.tmp").c_str(), &live)));
  age(in_base("LVR6.tmp"), 3600);
  folder("LVR7.tmp");
  age(in_base("LVR7.tmp"), 3600);
  int release = -1;
  const pid_t other = hold_lock_in_child(in_base("LVR7.tmp"), &release);
  ASSERT_GT(other, 0);

  const SweepResult first = sweep_unpack_folders(base_.c_str(), "LVR");
  EXPECT_EQ(first.removed, 2);
  EXPECT_EQ(first.kept, 3);  // LVR3 (young), LVR6 and LVR7 (locked)
  EXPECT_FALSE(exists(in_base("LVR1A2B.tmp")));
  EXPECT_FALSE(exists(in_base("LVR2.tmp")));
  for (const char* kept : {"LVR3.tmp", "LVR1A2B.tm", "LVRabc.tmp", "notes", "LVR4.tmp", "LVR5.tmp", "LVR6.tmp",
                           "LVR7.tmp"}) {
    EXPECT_TRUE(exists(in_base(kept))) << kept;
  }
  EXPECT_EQ(read_text(outside + "/keep.txt"), "keep");

  // The other run ends without cleaning up: its folder is now a left-over.
  close(release);
  int status = 0;
  ASSERT_EQ(waitpid(other, &status, 0), other);
  const SweepResult second = sweep_unpack_folders(base_.c_str(), "LVR");
  EXPECT_EQ(second.removed, 1);
  EXPECT_FALSE(exists(in_base("LVR7.tmp")));
  EXPECT_TRUE(exists(in_base("LVR6.tmp")));
  EXPECT_TRUE(remove_unpack_folder(&live));
}

TEST_F(UnpackFolders, SweepLeavesAnotherUsersFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "making a folder owned by another user needs root";
  ASSERT_EQ(mkdir(in_base("LVR8.tmp").c_str(), 0700), 0);
  ASSERT_EQ(chown(in_base("LVR8.tmp").c_str(), 65534, 65534), 0);
  age(in_base("LVR8.tmp"), 3600);
  EXPECT_EQ(sweep_unpack_folders(base_.c_str(), "LVR").removed, 0);
  EXPECT_TRUE(exists(in_base("LVR8.tmp")));
}

TEST_F(UnpackFolders, SweepOfAMissingBaseDoesNothing) {
  const SweepResult r = sweep_unpack_folders((dir_ / "missing").c_str(), "LVR");
  EXPECT_EQ(r.removed + r.kept, 0);
  ASSERT_EQ(symlink(base_.c_str(), (dir_ / "link").c_str()), 0);
  ASSERT_EQ(mkdir(in_base("LVR9.tmp").c_str(), 0700), 0);
  age(in_base("LVR9.tmp"), 3600);
  EXPECT_EQ(sweep_unpack_folders((dir_ / "link").c_str(), "LVR").removed, 0) << "a base that is a link is not swept";
  EXPECT_TRUE(exists(in_base("LVR9.tmp")));
}

}  // namespace
}  // namespace lumra::sys
