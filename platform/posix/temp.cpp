// POSIX temporary folders: mkdir 0700 + open with O_NOFOLLOW + fstat owner check for the private
// base folder, flock on the unpack folder's own descriptor, and a sweep that opens each candidate
// without following links, tries its lock without waiting and removes it through
// platform/posix/tree_removal.
#include "platform/system/temp.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/posix/tree_removal.h"
#include "platform/system/termination.h"

namespace lumra::sys {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr time_t kLeftOverAge = 60;  // seconds since the last change before a folder may be swept
constexpr size_t kMaxHexDigits = 8;

// A work area per removal: they are too large for the stack.
std::unique_ptr<posix::RemovalWork> new_work() { return std::make_unique<posix::RemovalWork>(); }

std::string errno_text(int error) { return std::strerror(error); }

// One candidate of make_private_base_folder; "" when it can be used, else why not.
std::string make_private(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return folder + ": " + errno_text(errno);
  const int fd = open(folder.c_str(), kFolderFlags);
  if (fd < 0) {
    const int error = errno;
    if (error == ELOOP || error == ENOTDIR) return folder + " is not a folder (a link or a file stands there)";
    return folder + ": " + errno_text(error);
  }
  struct stat st {};
  std::string why;
  if (fstat(fd, &st) != 0) {
    why = folder + ": " + errno_text(errno);
  } else if (st.st_uid != geteuid()) {
    why = folder + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  } else if ((st.st_mode & 07777) != 0700 && fchmod(fd, 0700) != 0) {
    why = folder + ": cannot make it private: " + errno_text(errno);
  }
  close(fd);
  return why;
}

void close_fd(Descriptor* d) {
  if (*d != kNoDescriptor) close(static_cast<int>(*d));
  *d = kNoDescriptor;
}

std::string parent_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string leaf_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_upper_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// One candidate of the sweep, open as `fd`: true when it was removed.
bool sweep_one(int base, const char* name, int fd, time_t now, posix::RemovalWork* work) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
  if (now - st.st_mtim.tv_sec <= kLeftOverAge) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return false;  // a live run holds it (or no lock here)
  // The name must still be the folder that is locked now.
  struct stat again {};
  if (fstatat(base, name, &again, AT_SYMLINK_NOFOLLOW) != 0 || again.st_dev != st.st_dev || again.st_ino != st.st_ino) {
    return false;
  }
  posix::clear_folder(fd, work);
  return unlinkat(base, name, AT_REMOVEDIR) == 0;
}

}  // namespace

UnpackFolder::UnpackFolder(UnpackFolder&& other) noexcept
    : path(std::move(other.path)),
      folder(std::exchange(other.folder, kNoDescriptor)),
      parent(std::exchange(other.parent, kNoDescriptor)) {}

UnpackFolder& UnpackFolder::operator=(UnpackFolder&& other) noexcept {
  if (this != &other) {
    close_fd(&folder);
    close_fd(&parent);
    path = std::move(other.path);
    folder = std::exchange(other.folder, kNoDescriptor);
    parent = std::exchange(other.parent, kNoDescriptor);
  }
  return *this;
}

UnpackFolder::~UnpackFolder() {
  close_fd(&folder);
  close_fd(&parent);
}

std::string temp_path() {
  std::string out = temp_folder();
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out;
}

bool make_private_base_folder(const std::string& folder, std::string* used, std::string* reason) {
  if (folder.empty()) {
    if (reason) *reason = "no base folder given";
    return false;
  }
  std::string why = make_private(folder);
  if (why.empty()) {
    *used = folder;
    return true;
  }
  // A shared /tmp lets another user take the name first: fall back to a name of this user's own.
  const std::string own = folder + "-" + user_tag();
  const std::string why_own = make_private(own);
  if (why_own.empty()) {
    *used = own;
    return true;
  }
  if (reason) *reason = why + "; " + why_own;
  return false;
}

Status make_unpack_folder(const char* path, UnpackFolder* out) {
  *out = UnpackFolder{};
  if (!path || !*path) return Status{EINVAL};
  const std::string p = path;
  const std::string leaf = leaf_of(p);
  if (leaf.empty() || leaf == "." || leaf == "..") return Status{EINVAL};
  UnpackFolder made;
  const int parent = open(parent_of(p).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) return Status{errno};
  made.parent = parent;
  if (mkdirat(parent, leaf.c_str(), 0700) != 0) return Status{errno};
  const int fd = openat(parent, leaf.c_str(), kFolderFlags);
  if (fd < 0) {
    const int error = errno;
    unlinkat(parent, leaf.c_str(), AT_REMOVEDIR);
    return Status{error};
  }
  made.folder = fd;
  made.path = p;
  // Best effort: without a lock the folder is only ever removed by its own run.
  flock(fd, LOCK_EX | LOCK_NB);
  guard_folder(made.parent, leaf.c_str());
  *out = std::move(made);
  return Status{};
}

bool remove_unpack_folder(UnpackFolder* f) {
  if (f->folder == kNoDescriptor || f->parent == kNoDescriptor) return true;
  const std::string leaf = leaf_of(f->path);
  bool removed = false;
  struct stat mine {};
  struct stat there {};
  if (fstat(static_cast<int>(f->folder), &mine) == 0) {
    const auto work = new_work();
    posix::clear_folder(static_cast<int>(f->folder), work.get());
    // Remove the name only while it is still this folder.
    if (fstatat(static_cast<int>(f->parent), leaf.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
      removed = errno == ENOENT;
    } else if (there.st_dev == mine.st_dev && there.st_ino == mine.st_ino) {
      removed = unlinkat(static_cast<int>(f->parent), leaf.c_str(), AT_REMOVEDIR) == 0;
    }
  }
  unguard_folder();
  close_fd(&f->folder);
  close_fd(&f->parent);
  return removed;
}

bool is_unpack_folder_name(const char* name, const char* prefix) {
  if (!name || !prefix) return false;
  const size_t n = std::strlen(name);
  const size_t p = std::strlen(prefix);
  constexpr size_t kExtension = 4;  // ".tmp"
  if (n < p + 1 + kExtension || n > p + kMaxHexDigits + kExtension) return false;
  if (std::strncmp(name, prefix, p) != 0 || std::strcmp(name + n - kExtension, ".tmp") != 0) return false;
  for (size_t i = p; i < n - kExtension; ++i) {
    if (!is_upper_hex(name[i])) return false;
  }
  return true;
}

SweepResult sweep_unpack_folders(const char* base, const char* prefix) {
  SweepResult result;
  if (!base || !prefix || !*prefix) return result;
  const int folder = open(base, kFolderFlags);
  if (folder < 0) return result;
  // The names first, then the removals: removing while reading a folder may skip entries.
  std::vector<std::string> names;
  if (const int own = fcntl(folder, F_DUPFD_CLOEXEC, 0); own >= 0) {
    if (DIR* d = fdopendir(own)) {
      while (const dirent* e = readdir(d)) {
        if ((e->d_type == DT_DIR || e->d_type == DT_UNKNOWN) && is_unpack_folder_name(e->d_name, prefix)) {
          names.emplace_back(e->d_name);
        }
      }
      closedir(d);
    } else {
      close(own);
    }
  }
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  const auto work = new_work();
  for (const std::string& name : names) {
    const int fd = openat(folder, name.c_str(), kFolderFlags);
    if (fd < 0) continue;  // a link or gone
    if (sweep_one(folder, name.c_str(), fd, now.tv_sec, work.get())) {
      ++result.removed;
    } else {
      ++result.kept;
    }
    close(fd);
  }
  close(folder);
  return result;
}

bool remove_tree(const char* path) {
  if (!path || !*path) return false;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const std::string leaf = leaf_of(p);
  if (leaf.empty() || leaf == "." || leaf == "..") return false;
  const int parent = open(parent_of(p).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) return errno == ENOENT;
  const auto work = new_work();
  const bool removed = posix::remove_tree_at(parent, leaf.c_str(), work.get());
  close(parent);
  return removed;
}

}  // namespace lumra::sys
