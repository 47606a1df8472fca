// The file-system services of the system layer on real folders: what they refuse to follow,
// what they refuse to overwrite, and what they report back.
#include "platform/system/fs.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/system/clock.h"
#include "platform/system/console.h"

namespace lumra::sys {
namespace {

class Folder {
 public:
  Folder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumra-fs-test-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~Folder() {
    if (!path_.empty()) {
      nftw(path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return remove(p); }, 16, FTW_DEPTH | FTW_PHYS);
    }
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void put(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs(text.c_str(), f);
  std::fclose(f);
}

std::string get(const std::string& path) {
  std::string out;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
    std::fclose(f);
  }
  return out;
}

TEST(SystemFs, NewFilesAreNeverCreatedThroughALink) {
  Folder dir;
  put(dir / "victim", "victim");
  ASSERT_EQ(symlink((dir / "victim").c_str(), (dir / "link").c_str()), 0);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "dangling").c_str()), 0);
  Descriptor d = 7;
  for (const char* name : {"victim", "link", "dangling"}) {
    SCOPED_TRACE(name);
    const Status s = create_new_file((dir / name).c_str(), Access::kDefault, &d);
    EXPECT_TRUE(is_taken(s)) << describe(s);
    EXPECT_EQ(d, kNoDescriptor);
  }
  FileInfo info{};
  EXPECT_TRUE(is_missing(file_info((dir / "nowhere").c_str(), Links::kNoFollow, &info)));

  Descriptor folder = kNoDescriptor;
  ASSERT_TRUE(ok(open_folder(dir.path().c_str(), Links::kFollow, &folder)));
  EXPECT_TRUE(is_taken(create_new_file_at(folder, "dangling", &d)));
  ASSERT_TRUE(ok(create_new_file_at(folder, "fresh", &d)));
  EXPECT_TRUE(ok(write_all(d, "abc", 3)));
  EXPECT_TRUE(ok(close_descriptor(d)));
  EXPECT_TRUE(ok(close_descriptor(folder)));
  EXPECT_EQ(get(dir / "fresh"), "abc");
  EXPECT_EQ(get(dir / "victim"), "victim");
}

TEST(SystemFs, StreamsReplaceALinkInsteadOfWritingThroughIt) {
  Folder dir;
  put(dir / "victim", "victim");
  ASSERT_EQ(symlink((dir / "victim").c_str(), (dir / "out").c_str()), 0);
  std::FILE* f = nullptr;
  ASSERT_TRUE(ok(create_stream((dir / "out").c_str(), &f)));
  std::fputs("new", f);
  std::fclose(f);
  FileInfo info{};
  ASSERT_TRUE(ok(file_info((dir / "out").c_str(), Links::kNoFollow, &info)));
  EXPECT_EQ(info.kind, FileKind::kFile);
  EXPECT_EQ(get(dir / "out"), "new");
  EXPECT_EQ(get(dir / "victim"), "victim");
}

TEST(SystemFs, FoldersBelowAnOpenOneAreNeverReachedThroughALink) {
  Folder dir;
  ASSERT_TRUE(ok(make_folder((dir / "real").c_str(), Access::kDefault)));
  ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "link").c_str()), 0);
  Descriptor top = kNoDescriptor;
  Descriptor sub = kNoDescriptor;
  ASSERT_TRUE(ok(open_folder(dir.path().c_str(), Links::kFollow, &top)));
  EXPECT_TRUE(ok(open_folder_at(top, "real", &sub)));
  EXPECT_TRUE(ok(close_descriptor(sub)));
  EXPECT_FALSE(ok(open_folder_at(top, "link", &sub)));
  EXPECT_EQ(sub, kNoDescriptor);
  EXPECT_TRUE(is_missing(open_folder_at(top, "none", &sub)));
  EXPECT_FALSE(ok(open_folder((dir / "link").c_str(), Links::kNoFollow, &sub)));
  EXPECT_TRUE(ok(close_descriptor(top)));
}

TEST(SystemFs, FolderEntriesCarryTheirOwnKindAndReadTwice) {
  Folder dir;
  put(dir / "file", "x");
  ASSERT_TRUE(ok(make_folder((dir / "sub").c_str(), Access::kDefault)));
  ASSERT_EQ(symlink((dir / "sub").c_str(), (dir / "link").c_str()), 0);
  Descriptor d = kNoDescriptor;
  ASSERT_TRUE(ok(open_folder(dir.path().c_str(), Links::kFollow, &d)));
  for (int round = 0; round < 2; ++round) {
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ok(read_folder(d, &entries)));
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "file");
    EXPECT_EQ(entries[0].kind, FileKind::kFile);
    EXPECT_EQ(entries[1].name, "link");
    EXPECT_EQ(entries[1].kind, FileKind::kLink);
    EXPECT_EQ(entries[2].name, "sub");
    EXPECT_EQ(entries[2].kind, FileKind::kFolder);
  }
  EXPECT_TRUE(ok(remove_file_at(d, "link")));
  EXPECT_TRUE(ok(remove_folder_at(d, "sub")));
  EXPECT_FALSE(ok(remove_folder_at(d, "file")));
  EXPECT_TRUE(ok(close_descriptor(d)));
}

TEST(SystemFs, TimesSizesIdentityAndPrivacy) {
  Folder dir;
  put(dir / "a", "12345");
  ASSERT_EQ(link((dir / "a").c_str(), (dir / "b").c_str()), 0);
  Descriptor d = kNoDescriptor;
  ASSERT_TRUE(ok(open_file((dir / "a").c_str(), &d)));
  const FileTime accessed{1500000000, 250};
  const FileTime modified{1600000000, 999999999};
  ASSERT_TRUE(ok(set_times(d, &accessed, &modified)));
  FileInfo a{};
  FileInfo b{};
  ASSERT_TRUE(ok(file_info(d, &a)));
  ASSERT_TRUE(ok(file_info((dir / "b").c_str(), Links::kNoFollow, &b)));
  EXPECT_TRUE(same_file(a, b));
  EXPECT_EQ(a.size, 5u);
  EXPECT_EQ(a.modified.seconds, modified.seconds);
  EXPECT_EQ(a.modified.nanoseconds, modified.nanoseconds);
  EXPECT_EQ(a.accessed.seconds, accessed.seconds);
  EXPECT_TRUE(a.mine);
  const FileTime later{1700000000, 0};
  ASSERT_TRUE(ok(set_times(d, nullptr, &later)));  // the access time stays
  ASSERT_TRUE(ok(file_info(d, &a)));
  EXPECT_EQ(a.accessed.seconds, accessed.seconds);
  EXPECT_EQ(a.modified.seconds, later.seconds);
  uint8_t buffer[16];
  size_t got = 0;
  ASSERT_TRUE(ok(read_full(d, buffer, sizeof buffer, &got)));
  EXPECT_EQ(got, 5u);
  EXPECT_TRUE(ok(close_descriptor(d)));

  ASSERT_TRUE(ok(make_folder((dir / "open").c_str(), Access::kDefault)));
  ASSERT_EQ(chmod((dir / "open").c_str(), 0755), 0);
  ASSERT_TRUE(ok(open_folder((dir / "open").c_str(), Links::kNoFollow, &d)));
  ASSERT_TRUE(ok(file_info(d, &a)));
  EXPECT_TRUE(a.shared);
  ASSERT_TRUE(ok(make_owner_only(d)));
  ASSERT_TRUE(ok(file_info(d, &a)));
  EXPECT_FALSE(a.shared);
  EXPECT_TRUE(ok(close_descriptor(d)));
}

TEST(SystemFs, FailuresKeepTheirCause) {
  Folder dir;
  FileInfo info{};
  const Status missing = file_info((dir / "none").c_str(), Links::kNoFollow, &info);
  EXPECT_TRUE(is_missing(missing));
  EXPECT_FALSE(is_taken(missing));
  EXPECT_STRNE(describe(missing), "");
  EXPECT_STREQ(describe(Status{}), "");
  EXPECT_TRUE(is_taken(make_folder(dir.path().c_str(), Access::kDefault)));
  EXPECT_TRUE(is_missing(remove_file((dir / "none").c_str())));
  put(dir / "from", "f");
  EXPECT_TRUE(ok(rename_file((dir / "from").c_str(), (dir / "to").c_str())));
  EXPECT_EQ(get(dir / "to"), "f");
}

TEST(SystemFs, StreamPositionsAndTheTemporaryFolder) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fputs("0123456789", f);
  ASSERT_TRUE(seek(f, 4));
  EXPECT_EQ(tell(f), 4);
  EXPECT_EQ(std::fgetc(f), '4');
  EXPECT_NE(stream_descriptor(f), kNoDescriptor);
  EXPECT_FALSE(is_terminal(f));
  std::fclose(f);

  const std::string temp = temp_folder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp[0], '/');
  EXPECT_TRUE(temp.size() == 1 || temp.back() != '/');
  EXPECT_EQ(user_tag(), std::to_string(geteuid()));
}

TEST(SystemClock, LocalTimeFollowsTheTimeZone) {
  std::tm t{};
  ASSERT_TRUE(local_time(0, &t));
  const std::time_t zero = 0;
  const std::tm* expected = std::localtime(&zero);
  ASSERT_NE(expected, nullptr);
  EXPECT_EQ(t.tm_year, expected->tm_year);
  EXPECT_EQ(t.tm_hour, expected->tm_hour);
  EXPECT_EQ(t.tm_min, expected->tm_min);
}

}  // namespace
}  // namespace lumra::sys
