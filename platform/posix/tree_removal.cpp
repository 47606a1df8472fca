// Tree removal with one folder open at a time: the walk goes down into a folder that still has
// entries and climbs back through "..", checked against the folder it came from, then rescans the
// parent (entries already gone cost nothing). No allocation and no C library state, so a signal
// handler can run it; getdents64 reads the entries because readdir allocates.
#include "platform/posix/tree_removal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lumra::sys::posix {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

FileIdentity identity_of(const struct stat& st) {
  return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool same(const FileIdentity& a, const FileIdentity& b) { return a.device == b.device && a.node == b.node; }

bool is_stuck(const RemovalWork& w, const FileIdentity& id) {
  for (size_t i = 0; i < w.stuck_count; ++i) {
    if (same(w.stuck[i], id)) return true;
  }
  return false;
}

// Entries of a folder can only be removed when the folder is writable and enterable: a package
// may have made one read-only. Only the owner (or root) can change that.
void open_up(int fd, const struct stat& st) {
  if ((st.st_mode & 0700) != 0700 && (st.st_uid == geteuid() || geteuid() == 0)) {
    fchmod(fd, (st.st_mode & 07777) | 0700);
  }
}

bool is_dot_or_dot_dot(const char* n) { return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')); }

}  // namespace

bool clear_folder(int folder, RemovalWork* w) {
  // A fresh open of the same folder: its own read position, so the caller's is left alone.
  int cur = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (cur < 0) return false;
  struct stat st {};
  if (fstat(cur, &st) != 0) {
    close(cur);
    return false;
  }
  open_up(cur, st);
  w->stuck_count = 0;
  w->path[0] = identity_of(st);
  size_t depth = 0;
  for (;;) {
    // One pass over the current folder: files and links go, empty folders go, and the first
    // folder that still holds entries is entered (the pass starts over when the walk comes back).
    if (lseek(cur, 0, SEEK_SET) != 0) {
      close(cur);
      return false;
    }
    size_t left = 0;
    int child = -1;
    ssize_t got = 0;
    while (child < 0 && (got = getdents64(cur, w->entries, sizeof w->entries)) > 0) {
      for (ssize_t at = 0; at < got && child < 0;) {
        const auto* e = reinterpret_cast<const struct dirent64*>(w->entries + at);
        at += e->d_reclen;
        const char* name = e->d_name;
        if (is_dot_or_dot_dot(name)) continue;
        if (e->d_type != DT_DIR) {
          if (unlinkat(cur, name, 0) == 0 || errno == ENOENT) continue;
          // Linux answers EISDIR for a folder (POSIX allows EPERM); anything else stays.
          if (errno != EISDIR && errno != EPERM) {
            ++left;
            continue;
          }
        }
        if (unlinkat(cur, name, AT_REMOVEDIR) == 0 || errno == ENOENT) continue;
        if ((errno != ENOTEMPTY && errno != EEXIST) || depth + 1 >= kRemovalMaxDepth) {
          ++left;
          continue;
        }
        const int fd = openat(cur, name, kFolderFlags);
        struct stat cs {};
        // Never into another file system (something mounted inside), nor twice into a folder
        // that could not be emptied.
        if (fd < 0 || fstat(fd, &cs) != 0 || identity_of(cs).device != w->path[0].device ||
            is_stuck(*w, identity_of(cs))) {
          if (fd >= 0) close(fd);
          ++left;
          continue;
        }
        open_up(fd, cs);
        w->path[depth + 1] = identity_of(cs);
        child = fd;
      }
    }
    if (got < 0) ++left;
    if (child >= 0) {
      close(cur);
      cur = child;
      ++depth;
      continue;
    }
    if (depth == 0) {
      close(cur);
      return left == 0;
    }
    // Back up one level. ".." must be the folder the walk came down from; if something moved the
    // tree meanwhile, stop rather than clear a folder that is not part of it.
    const FileIdentity done = w->path[depth];
    const int up = openat(cur, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(cur);
    struct stat ps {};
    if (up < 0 || fstat(up, &ps) != 0 || !same(identity_of(ps), w->path[depth - 1])) {
      if (up >= 0) close(up);
      return false;
    }
    cur = up;
    --depth;
    if (left > 0) {
      if (w->stuck_count == kRemovalMaxStuck) {
        close(cur);
        return false;
      }
      w->stuck[w->stuck_count++] = done;
    }
  }
}

bool remove_tree_at(int parent, const char* name, RemovalWork* w) {
  if (unlinkat(parent, name, 0) == 0 || errno == ENOENT) return true;
  if (errno != EISDIR && errno != EPERM) return false;
  if (unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT) return true;
  const int fd = openat(parent, name, kFolderFlags);
  if (fd < 0) return errno == ENOENT;
  clear_folder(fd, w);
  close(fd);
  return unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

}  // namespace lumra::sys::posix
