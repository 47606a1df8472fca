// Shared by the desktop-service tests: a real temporary folder per test (removed with nftw, which
// never follows links, so a test's own planted links cannot lead it astray), environment
// variables put back after a test, files and stand-in programs (shell scripts) written by the
// tests, and a bounded wait for what a real child process writes.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "platform/system/clock.h"

namespace lumra::sys::test_support {

class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base == '/' ? base : "/tmp") + "/lumra-desktop-test-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempFolder() {
    if (path_.empty()) return;
    // Folders a test made read-only must open up before their entries can go.
    nftw(path_.c_str(), [](const char* p, const struct stat* st, int type, FTW*) {
      if (type == FTW_D) chmod(p, (st->st_mode & 07777) | 0700);
      return 0;
    }, 16, FTW_PHYS);
    nftw(path_.c_str(), [](const char* p, const struct stat*, int, FTW*) { return remove(p); }, 16,
         FTW_DEPTH | FTW_PHYS);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets variables for one test and puts every one back (or unsets it) afterwards.
class Environment {
 public:
  ~Environment() {
    for (const auto& [name, old] : saved_) {
      if (old) {
        setenv(name.c_str(), old->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void set(const std::string& name, const std::string& value) {
    remember(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void unset(const std::string& name) {
    remember(name);
    unsetenv(name.c_str());
  }

 private:
  void remember(const std::string& name) {
    if (saved_.count(name)) return;
    const char* v = std::getenv(name.c_str());
    saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

inline bool write_text(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

inline std::string read_text(const std::string& path) {
  std::string out;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

// A stand-in program: a shell script with a PATH of its own (the tests' PATH holds only their
// stand-ins).
inline bool write_script(const std::string& path, const std::string& body) {
  return write_text(path, "#!/bin/sh\nPATH=/usr/bin:/bin\n" + body) && chmod(path.c_str(), 0755) == 0;
}

inline bool exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// Waits (up to `ms`) until `done` is true: for what a real child process does in its own time.
template <class Done>
bool eventually(Done done, uint32_t ms = 10000) {
  const uint64_t until = monotonic_ms() + ms;
  while (!done()) {
    if (monotonic_ms() > until) return false;
    sleep_ms(5);
  }
  return true;
}

// The whole text of a file a child writes, once the child has written its last line ("end").
inline std::string wait_for_record(const std::string& path) {
  std::string text;
  eventually([&] {
    text = read_text(path);
    return text.size() >= 4 && text.compare(text.size() - 4, 4, "end\n") == 0;
  });
  return text;
}

}  // namespace lumra::sys::test_support
