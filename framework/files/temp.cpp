// Private temporary folder and exclusive temporary names (the system-call half of what a desktop
// viewer needs to unpack a package where no other user can reach it).
#include "framework/files/temp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/base/error.h"
#include "framework/files/path.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

std::string system_temp_folder() {
  const char* env = std::getenv("TMPDIR");
  struct stat st {};
  if (env && env[0] == '/' && stat(env, &st) == 0 && S_ISDIR(st.st_mode)) {
    std::string out = env;
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
  }
  return "/tmp";
}

unsigned start_number() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  static unsigned calls = 0;
  const unsigned n = static_cast<unsigned>(now.tv_nsec ^ (now.tv_sec << 7) ^ (getpid() << 3)) + 7919u * ++calls;
  return (n & 0xFFFF) ? (n & 0xFFFF) : 1;
}

std::string form_name(const std::string& folder, const char* prefix, unsigned unique) {
  char tail[32];
  std::snprintf(tail, sizeof tail, "%.3s%04X.tmp", prefix ? prefix : "", unique & 0xFFFF);
  std::string out = folder;
  if (!out.empty() && !is_separator(out.back())) out.push_back('/');
  return out + tail;
}

}  // namespace

int make_private_folder(const char* path) {
  if (!path || !*path) return fail("no folder");
  const std::string native = native_path(path);
  if (mkdir(native.c_str(), 0700) != 0 && errno != EEXIST) {
    return failf("cannot create %s: %s", path, std::strerror(errno));
  }
  const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return failf("%s is not a folder of its own: %s", path, std::strerror(errno));
  struct stat st {};
  int ok = 1;
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid()) {
    ok = failf("%s belongs to another user", path);
  } else if ((st.st_mode & 077) != 0 && fchmod(fd, st.st_mode & 0700) != 0) {
    ok = failf("cannot make %s private: %s", path, std::strerror(errno));
  }
  close(fd);
  return ok;
}

int temp_path(std::string* out) {
  if (!out) return fail("no output");
  const std::string folder = system_temp_folder() + "/lumra-" + std::to_string(geteuid());
  if (!make_private_folder(folder.c_str())) return 0;
  *out = folder + "/";
  return 1;
}

unsigned temp_file_name(const char* folder, const char* prefix, unsigned unique, std::string* out) {
  if (!folder || !out) return fail("no folder for the temporary name");
  if (unique != 0) {
    *out = form_name(folder, prefix, unique);
    return unique & 0xFFFF ? unique & 0xFFFF : unique;
  }
  const unsigned start = start_number();
  unsigned n = start;
  do {
    const std::string name = form_name(folder, prefix, n);
    const int fd = open(native_path(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      *out = name;
      return n;
    }
    if (errno != EEXIST) return failf("cannot create a temporary file in %s: %s", folder, std::strerror(errno));
    n = n == 0xFFFF ? 1 : n + 1;
  } while (n != start);
  return failf("no free temporary name left in %s", folder);
}

}  // namespace lumra::files
