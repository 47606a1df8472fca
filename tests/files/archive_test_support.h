// Shared by the archive command tests: calling the command with entry lists, recording progress,
// source trees with known contents and times in a fixture, entries naming them, and tree comparison.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "framework/files/archive_command.h"
#include "framework/files/path.h"
#include "tests/files/files_test_support.h"

namespace lumra::files::test_support {

// Absolute paths inside "+"/"-" entries take "\": there the first "/" ends the pattern.
inline std::string bs(const std::string& path) { return with_separator(path, '\\'); }
// The entry that adds every file below `src`, keeping the folders below it.
inline std::string all_under(const std::string& src) { return "+" + bs(src) + "\\*.*/+"; }

inline int arc(int action, const std::string& archive, const std::vector<std::string>& entries, int key = 0,
               ArchiveProgress progress = nullptr, void* data = nullptr, int method = 32, int compress_always = 0,
               int format = kFormatDetect) {
  const std::vector<char> list = selection(entries);
  return archive_command(action, archive.c_str(), static_cast<int>(entries.size()), list.empty() ? nullptr : list.data(),
                         key, progress, data, method, compress_always, format);
}

struct Event {
  int code;
  int action;
  std::string name;
  int64_t value;
  uint32_t unpacked;
  uint32_t stored;
};

struct Recorder {
  std::vector<Event> events;
  int answer = 1;            // what code 0 gets back
  int answer_code1 = 0;
  int answer_code2 = 0;
  int abort_after = -1;      // answer 0 to the code-0 event with this index
  uint64_t count = 0, total_unpacked = 0, total_stored = 0;
};

inline int record_progress(int code, void* data, const ProgressInfo& info) {
  auto* r = static_cast<Recorder*>(data);
  Event e{code, info.action, info.name ? info.name : "", info.value, 0, 0};
  if (info.header) {
    e.unpacked = info.header->unpacked_size;
    e.stored = info.header->record_length;
  }
  r->events.push_back(e);
  if (code == kProgressRetry) return r->answer_code1;
  if (code == kProgressCannotCreate) return r->answer_code2;
  if (info.action == kActionList && info.value == 1) {
    r->count = info.count;
    r->total_unpacked = info.total_unpacked;
    r->total_stored = info.total_stored;
  }
  if (r->abort_after >= 0 && static_cast<int>(r->events.size()) - 1 == r->abort_after) return 0;
  return r->answer;
}

// Member names as listed (code 0, value 0 events of action 6).
inline std::vector<std::string> listed_names(const std::string& archive, int key = 0, int format = kFormatDetect) {
  Recorder r;
  EXPECT_EQ(arc(kActionList, archive, {}, key, record_progress, &r, 32, 0, format), 1) << base::last_error();
  std::vector<std::string> out;
  for (const Event& e : r.events) {
    if (e.code == 0 && e.value == 0) out.push_back(e.name);
  }
  return out;
}

// The files of a small project: sizes around the 16,384-byte block edge, text, random and
// repeated bytes, an empty file, nested folders; every time on an even second.
inline void make_source_tree(const std::string& root) {
  struct File {
    const char* name;
    size_t size;
    int kind;
  };
  const File files[] = {
      {"index.html", 300, 0},          {"empty.txt", 0, 0},          {"logo.png", 16383, 1},
      {"a/b/c.txt", 16384, 0},         {"a/b/d.bin", 16385, 1},      {"a/objects_data.js", 100000, 0},
      {"a/zeros.dat", 70000, 2},       {"docs/readme", 5, 0},        {"docs/Notes.TXT", 1234, 0},
  };
  time_t t = 1600000000;
  for (const File& f : files) {
    const std::string path = root + "/" + f.name;
    make_dirs(path.substr(0, path.rfind('/')));
    write_file(path, sample(f.size, f.kind, static_cast<uint32_t>(f.size)));
    set_mtime(path, t);
    t += 3602;
  }
}

// A temporary folder holding the source tree above in src/.
struct ArchiveFixture {
  TempDir dir;
  std::string src = dir / "src";
  ArchiveFixture() { make_source_tree(src); }
};

// Same relative names, same bytes, and (when asked) the same modification times.
inline void expect_same_tree(const std::string& want_root, const std::string& got_root, bool times = true) {
  const auto want = tree(want_root);
  const auto got = tree(got_root);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].first);
    EXPECT_EQ(got[i].first, want[i].first);
    EXPECT_TRUE(got[i].second == want[i].second);
    if (times) {
      EXPECT_EQ(mtime_of(got_root + "/" + got[i].first), mtime_of(want_root + "/" + want[i].first));
    }
  }
}

// Changes the current folder for one test.
class InFolder {
 public:
  explicit InFolder(const std::string& path) {
    char buf[4096];
    old_ = getcwd(buf, sizeof buf) ? buf : "/";
    EXPECT_EQ(chdir(path.c_str()), 0);
  }
  ~InFolder() { EXPECT_EQ(chdir(old_.c_str()), 0); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::string old_;
};

}  // namespace lumra::files::test_support
