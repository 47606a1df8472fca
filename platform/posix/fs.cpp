// POSIX file system: open/openat with O_NOFOLLOW and O_EXCL, stat/fstatat, dirent, futimens.
// Every descriptor is made close-on-exec, so programs the framework starts inherit none.
#include "platform/system/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lumra::sys {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kDefaultFile = 0666;  // less the umask, as fopen gives
constexpr mode_t kDefaultFolder = 0777;

Status last() { return Status{errno}; }
Status done(int result) { return result == 0 ? Status{} : last(); }

int fd_of(Descriptor d) { return static_cast<int>(d); }

// The descriptor a call returned, or the failure with *out set to none.
Status opened(int fd, Descriptor* out) {
  *out = fd >= 0 ? Descriptor{fd} : kNoDescriptor;
  return fd >= 0 ? Status{} : last();
}

int follow_flag(Links links) { return links == Links::kFollow ? 0 : AT_SYMLINK_NOFOLLOW; }

FileKind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kFile;
  if (S_ISDIR(mode)) return FileKind::kFolder;
  if (S_ISLNK(mode)) return FileKind::kLink;
  return FileKind::kOther;
}

uid_t effective_user() {
  static const uid_t uid = geteuid();
  return uid;
}

Status info_of(int result, const struct stat& st, FileInfo* out) {
  *out = FileInfo{};
  if (result != 0) return last();
  out->kind = kind_of(st.st_mode);
  out->size = static_cast<uint64_t>(st.st_size);
  out->accessed = {st.st_atim.tv_sec, static_cast<int32_t>(st.st_atim.tv_nsec)};
  out->modified = {st.st_mtim.tv_sec, static_cast<int32_t>(st.st_mtim.tv_nsec)};
  out->device = st.st_dev;
  out->node = st.st_ino;
  out->mine = st.st_uid == effective_user();
  out->shared = (st.st_mode & 077) != 0;
  out->permissions = st.st_mode & 0777;
  return Status{};
}

}  // namespace

Status close_descriptor(Descriptor d) { return done(close(fd_of(d))); }

Status file_info(const char* path, Links links, FileInfo* out) {
  struct stat st {};
  return info_of(fstatat(AT_FDCWD, path, &st, follow_flag(links)), st, out);
}

Status make_folder(const char* path, Access access) {
  return done(mkdir(path, access == Access::kOwnerOnly ? 0700 : kDefaultFolder));
}

Status open_folder(const char* path, Links links, Descriptor* out) {
  return opened(open(path, kFolderFlags | (links == Links::kFollow ? 0 : O_NOFOLLOW)), out);
}

// Non-blocking, so that a named pipe among the files cannot hang the open; reads of regular
// files are not affected.
Status open_file(const char* path, Descriptor* out) {
  return opened(open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC), out);
}

Status create_new_file(const char* path, Access access, Descriptor* out) {
  return opened(open(path, kNewFileFlags, access == Access::kOwnerOnly ? 0600 : kDefaultFile), out);
}

Status create_unique_file(const char* prefix, const char* suffix, Descriptor* out, std::string* path) {
  std::string name = std::string(prefix) + "XXXXXX" + suffix;
  // mkostemps creates with O_CREAT | O_EXCL and mode 0600: never a link, never an existing file.
  const int fd = mkostemps(name.data(), static_cast<int>(std::strlen(suffix)), O_CLOEXEC);
  if (fd >= 0) *path = name;
  return opened(fd, out);
}

Status make_unique_folder(const char* prefix, std::string* path) {
  std::string name = std::string(prefix) + "XXXXXX";
  if (!mkdtemp(name.data())) return last();
  *path = name;
  return Status{};
}

Status create_stream(const char* path, std::FILE** out) {
  *out = nullptr;
  constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
  int fd = open(path, kFlags, kDefaultFile);
  if (fd < 0 && errno == ELOOP && unlink(path) == 0) fd = open(path, kFlags, kDefaultFile);
  if (fd < 0) return last();
  *out = fdopen(fd, "wb");
  if (*out) return Status{};
  const Status failed = last();
  close(fd);
  return failed;
}

Status remove_file(const char* path) { return done(unlink(path)); }

Status rename_file(const char* from, const char* to) { return done(rename(from, to)); }

Status file_info_at(Descriptor folder, const char* name, Links links, FileInfo* out) {
  struct stat st {};
  return info_of(fstatat(fd_of(folder), name, &st, follow_flag(links)), st, out);
}

Status open_folder_at(Descriptor folder, const char* name, Descriptor* out) {
  return opened(openat(fd_of(folder), name, kFolderFlags | O_NOFOLLOW), out);
}

Status make_folder_at(Descriptor folder, const char* name, Access access) {
  return done(mkdirat(fd_of(folder), name, access == Access::kOwnerOnly ? 0700 : kDefaultFolder));
}

Status create_new_file_at(Descriptor folder, const char* name, Descriptor* out, Access access) {
  return opened(openat(fd_of(folder), name, kNewFileFlags, access == Access::kOwnerOnly ? 0600 : kDefaultFile), out);
}

Status remove_file_at(Descriptor folder, const char* name) { return done(unlinkat(fd_of(folder), name, 0)); }

Status remove_folder_at(Descriptor folder, const char* name) {
  return done(unlinkat(fd_of(folder), name, AT_REMOVEDIR));
}

Status read_folder(Descriptor folder, std::vector<FolderEntry>* out) {
  out->clear();
  // closedir closes the descriptor it reads, so it reads a copy; the copy shares the position.
  const int own = dup(fd_of(folder));
  if (own < 0) return last();
  DIR* d = fdopendir(own);
  if (!d) {
    const Status failed = last();
    close(own);
    return failed;
  }
  rewinddir(d);
  errno = 0;
  while (const dirent* e = readdir(d)) {
    const char* n = e->d_name;
    if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
    FileKind kind = FileKind::kOther;
    switch (e->d_type) {
      case DT_REG: kind = FileKind::kFile; break;
      case DT_DIR: kind = FileKind::kFolder; break;
      case DT_LNK: kind = FileKind::kLink; break;
      case DT_UNKNOWN: {
        // Some file systems do not say: ask for the entry itself.
        struct stat st {};
        if (fstatat(own, n, &st, AT_SYMLINK_NOFOLLOW) == 0) kind = kind_of(st.st_mode);
        break;
      }
      default: break;
    }
    out->push_back({n, kind});
    errno = 0;
  }
  const Status result{errno};
  closedir(d);
  return result;
}

Status file_info(Descriptor d, FileInfo* out) {
  struct stat st {};
  return info_of(fstat(fd_of(d), &st), st, out);
}

const void* map_file(Descriptor d, size_t size) {
  if (size == 0) return nullptr;
  void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, static_cast<int>(d), 0);
  return view == MAP_FAILED ? nullptr : view;
}

void unmap_file(const void* view, size_t size) {
  if (view) munmap(const_cast<void*>(view), size);
}

Status read_full(Descriptor d, void* out, size_t size, size_t* got) {
  auto* p = static_cast<uint8_t*>(out);
  *got = 0;
  while (*got < size) {
    const ssize_t n = read(fd_of(d), p + *got, size - *got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return last();
    if (n == 0) break;
    *got += static_cast<size_t>(n);
  }
  return Status{};
}

Status write_all(Descriptor d, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = write(fd_of(d), p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return last();
    // A write that takes nothing without an error would loop forever: call it a full disk.
    if (n == 0) return Status{ENOSPC};
    p += n;
    size -= static_cast<size_t>(n);
  }
  return Status{};
}

Status read_full_at(Descriptor d, uint64_t offset, void* out, size_t size, size_t* got) {
  auto* p = static_cast<uint8_t*>(out);
  *got = 0;
  while (*got < size) {
    const ssize_t n = pread(fd_of(d), p + *got, size - *got, static_cast<off_t>(offset + *got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return last();
    if (n == 0) break;
    *got += static_cast<size_t>(n);
  }
  return Status{};
}

Status write_all_at(Descriptor d, uint64_t offset, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = pwrite(fd_of(d), p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return last();
    if (n == 0) return Status{ENOSPC};
    p += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return Status{};
}

void expect_sequential_reads(Descriptor d) { posix_fadvise(fd_of(d), 0, 0, POSIX_FADV_SEQUENTIAL); }

Status set_times(Descriptor d, const FileTime* accessed, const FileTime* modified) {
  const auto spec = [](const FileTime* t) {
    return t ? timespec{static_cast<time_t>(t->seconds), t->nanoseconds} : timespec{0, UTIME_OMIT};
  };
  const timespec times[2] = {spec(accessed), spec(modified)};
  return done(futimens(fd_of(d), times));
}

Status resize(Descriptor d, uint64_t size) { return done(ftruncate(fd_of(d), static_cast<off_t>(size))); }

Status make_owner_only(Descriptor d) {
  struct stat st {};
  if (fstat(fd_of(d), &st) != 0) return last();
  if ((st.st_mode & 077) == 0) return Status{};
  return done(fchmod(fd_of(d), st.st_mode & 0700));
}

Status set_permissions(Descriptor d, uint32_t permissions) { return done(fchmod(fd_of(d), permissions & 0777)); }

uint32_t default_file_permissions() {
  // umask can only be read by setting it: put it straight back.
  const mode_t mask = umask(022);
  umask(mask);
  return kDefaultFile & ~mask & 0777;
}

Status free_space(const char* path, uint64_t* out) {
  struct statvfs st {};
  *out = 0;
  if (statvfs(path, &st) != 0) return last();
  *out = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  return Status{};
}

Status stream_over(Descriptor d, const char* mode, std::FILE** out) {
  *out = fdopen(fd_of(d), mode);
  return *out ? Status{} : last();
}

Descriptor stream_descriptor(std::FILE* f) { return fileno(f); }

bool seek(std::FILE* f, int64_t offset_from_start) { return fseeko(f, static_cast<off_t>(offset_from_start), SEEK_SET) == 0; }

int64_t tell(std::FILE* f) { return ftello(f); }

std::string temp_folder() {
  const char* env = std::getenv("TMPDIR");
  struct stat st {};
  if (env && env[0] == '/' && stat(env, &st) == 0 && S_ISDIR(st.st_mode)) {
    std::string out = env;
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
  }
  return "/tmp";
}

std::string user_tag() { return std::to_string(geteuid()); }

}  // namespace lumra::sys
