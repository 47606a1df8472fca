// Shared by the file-service and archive tests: a real temporary folder per test, small file
// helpers, and child processes (zip, unzip, bsdtar, python3) run for real.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/files/listing.h"

extern char** environ;

namespace lumra::files::test_support {

using Bytes = std::vector<uint8_t>;

// A fresh folder under $TMPDIR or /tmp, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lumra-files-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    path_ = mkdtemp(buf.data()) ? buf.data() : "";
  }
  ~TempDir() {
    if (!path_.empty()) {
      chmod(path_.c_str(), 0700);
      delete_tree(path_.c_str());
      rmdir(path_.c_str());
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline bool write_file(const std::string& path, const Bytes& data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}
inline bool write_file(const std::string& path, const std::string& text) {
  return write_file(path, Bytes(text.begin(), text.end()));
}

inline Bytes read_file(const std::string& path) {
  Bytes out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  uint8_t buf[65536];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

inline bool exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

inline void make_dirs(const std::string& path) {
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
  }
}

inline void set_mtime(const std::string& path, time_t t) {
  const struct timespec times[2] = {{t, 0}, {t, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

inline time_t mtime_of(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// Deterministic bytes: text-like, incompressible, or all equal.
inline Bytes sample(size_t n, int kind, uint32_t seed = 1) {
  Bytes out(n);
  uint32_t x = seed * 2654435761u + 1;
  static const char kText[] = "the archive holds blocks of text and numbers 0123 ";
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    if (kind == 0) out[i] = static_cast<uint8_t>(kText[(i + (x >> 28)) % (sizeof kText - 1)]);
    if (kind == 1) out[i] = static_cast<uint8_t>(x >> 24);
    if (kind == 2) out[i] = 'z';
  }
  return out;
}

struct RunResult {
  int status = -1;  // exit status, or -1 when it could not run or died by a signal
  std::string out;  // stdout and stderr together
  long max_rss_kb = 0;
};

// The Debian package of a reference tool the tests run, for the message when it is missing.
inline std::string package_of(const std::string& tool) {
  if (tool == "bsdtar") return "libarchive-tools";
  if (tool == "python3") return "python3";
  if (tool == "zip" || tool == "unzip") return tool;
  return "";
}

// Runs argv (searched on PATH) in `cwd` with stdin from /dev/null and waits for it. A program
// that cannot be started says so in `out`, with the Debian package that brings it.
inline RunResult run(const std::vector<std::string>& argv, const std::string& cwd = "") {
  RunResult r;
  int pipefd[2];
  if (pipe(pipefd) != 0) return r;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipefd[0]);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipefd[1]);
  if (spawned == 0) {
    char buf[4096];
    ssize_t n = 0;
    while ((n = read(pipefd[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<size_t>(n));
  }
  close(pipefd[0]);
  if (spawned != 0) {
    const std::string package = package_of(argv[0]);
    r.out = argv[0] + " cannot be run: " + std::strerror(spawned) +
            (package.empty() ? "" : " (Debian package " + package + "; scripts/test installs it)");
    return r;
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) r.status = WEXITSTATUS(status);
  r.max_rss_kb = usage.ru_maxrss;
  return r;
}

inline RunResult python(const std::string& script, const std::string& cwd = "") {
  return run({"python3", "-c", script}, cwd);
}

// A selection list of 256-byte entries.
inline std::vector<char> selection(const std::vector<std::string>& entries) {
  std::vector<char> list(entries.size() * 256, '\0');
  for (size_t i = 0; i < entries.size(); ++i) entries[i].copy(list.data() + i * 256, 255);
  return list;
}

// Every regular file below `root` as relative path -> contents.
inline void collect_tree(const std::string& root, const std::string& rel, std::vector<std::pair<std::string, Bytes>>* out) {
  base::DynArray listing{};
  list_files(&listing, (root + "/" + rel + "*.*").c_str(), 0, kListFiles);
  uint8_t* at = nullptr;
  while (base::array_next(&listing, &at)) {
    const auto* e = reinterpret_cast<const ListingEntry*>(at);
    out->emplace_back(rel + e->name, read_file(e->path));
  }
  base::array_release(&listing);
  base::DynArray dirs{};
  if (list_files(&dirs, (root + "/" + rel + "*.*").c_str(), 0, kListDirectories)) {
    std::vector<std::string> names;
    at = nullptr;
    while (base::array_next(&dirs, &at)) names.emplace_back(reinterpret_cast<const ListingEntry*>(at)->name);
    base::array_release(&dirs);
    for (const std::string& n : names) collect_tree(root, rel + n + "/", out);
  }
}

inline std::vector<std::pair<std::string, Bytes>> tree(const std::string& root) {
  std::vector<std::pair<std::string, Bytes>> out;
  collect_tree(root, "", &out);
  return out;
}

}  // namespace lumra::files::test_support
