// Path checks and the descriptor walk behind extraction (openat with O_NOFOLLOW | O_DIRECTORY per
// member folder, O_CREAT | O_EXCL for the file). Nothing here trusts a name from an archive.
#include "framework/files/safe_extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "framework/base/error.h"
#include "framework/files/path.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || is_separator(path[i])) {
      const std::string_view c = path.substr(start, i - start);
      if (!c.empty() && c != ".") out.push_back(c);
      start = i + 1;
    }
  }
  return out;
}

void close_fd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

// Opens the caller's folder, making it (and its parents) when missing.
bool open_root(OutputTree* t, const std::string& root, bool* no_space) {
  if (t->root_fd >= 0 && t->root == root) return true;
  close_fd(&t->dir_fd);
  close_fd(&t->root_fd);
  t->dir.clear();
  const std::string native = root.empty() ? std::string(".") : native_path(root);
  for (size_t i = 1; i <= native.size(); ++i) {
    if (i == native.size() || native[i] == '/') {
      const std::string prefix = native.substr(0, i);
      if (mkdir(prefix.c_str(), 0777) != 0 && errno == ENOSPC) *no_space = true;
    }
  }
  t->root_fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (t->root_fd < 0) return failf("cannot open the destination %s: %s", native.c_str(), std::strerror(errno));
  t->root = root;
  return true;
}

bool refuse_step(int parent, std::string_view name, const std::string& shown, bool* refused) {
  struct stat st {};
  if (fstatat(parent, std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
    *refused = true;
    return failf("refused: the output path passes through the symbolic link %s", shown.c_str());
  }
  return failf("cannot make the folder %s: %s", shown.c_str(), std::strerror(errno));
}

// Opens the member folder `dir` below the root, one component at a time, never through a link.
bool open_dir(OutputTree* t, const std::vector<std::string_view>& parts, const std::string& dir, bool* no_space,
              bool* refused) {
  if (t->dir_fd >= 0 && t->dir == dir) return true;
  close_fd(&t->dir_fd);
  int fd = dup(t->root_fd);
  if (fd < 0) return failf("cannot open a folder: %s", std::strerror(errno));
  std::string shown = t->root;
  for (const std::string_view part : parts) {
    const std::string name(part);
    if (!shown.empty()) shown.push_back('/');
    shown += name;
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = openat(fd, name.c_str(), kFlags);
    if (next < 0 && errno == ENOENT) {
      if (mkdirat(fd, name.c_str(), 0777) != 0 && errno != EEXIST) {
        if (errno == ENOSPC) *no_space = true;
        const bool r = failf("cannot make the folder %s: %s", shown.c_str(), std::strerror(errno));
        close(fd);
        return r;
      }
      next = openat(fd, name.c_str(), kFlags);
    }
    if (next < 0) {
      const bool r = refuse_step(fd, part, shown, refused);
      close(fd);
      return r;
    }
    close(fd);
    fd = next;
  }
  t->dir_fd = fd;
  t->dir = dir;
  return true;
}

}  // namespace

bool member_name_safe(std::string_view name) {
  if (name.size() >= 2 && name[1] == ':') return failf("refused: member name %.200s carries a drive", std::string(name).c_str());
  if (!name.empty() && is_separator(name[0])) {
    return failf("refused: member name %.200s is absolute", std::string(name).c_str());
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32) return fail("refused: member name holds a control character");
  }
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || is_separator(name[i])) {
      if (name.substr(start, i - start) == "..") {
        return failf("refused: member name %.200s climbs out with \"..\"", std::string(name).c_str());
      }
      start = i + 1;
    }
  }
  return true;
}

int output_create(OutputTree* tree, const std::string& root, std::string_view relative, OutputFile* out,
                  bool* no_space) {
  *out = OutputFile{};
  *no_space = false;
  out->refused = true;
  if (!member_name_safe(relative)) return 0;
  const std::string shown_root = root.empty() ? std::string(".") : native_path(root);
  out->path = shown_root + "/" + native_path(relative);
  if (out->path.size() >= kMaxPath) {
    return failf("output path longer than %zu bytes: %.120s...", kMaxPath - 1, out->path.c_str());
  }
  std::vector<std::string_view> parts = components(relative);
  for (const std::string_view p : parts) {
    if (p.size() >= kMaxName) return failf("name longer than %zu bytes in %.120s...", kMaxName - 1, out->path.c_str());
  }
  const bool folder_only = relative.empty() || is_separator(relative.back());
  if (!folder_only) {
    if (parts.empty()) return failf("member name %s names no file", std::string(relative).c_str());
    out->leaf = std::string(parts.back());
    parts.pop_back();
  }
  std::string dir;
  for (const std::string_view p : parts) {
    dir.append(p);
    dir.push_back('/');
  }
  out->refused = false;
  if (!open_root(tree, root, no_space)) return 0;
  if (!open_dir(tree, parts, dir, no_space, &out->refused)) return 0;
  if (folder_only) return 1;

  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  out->fd = openat(tree->dir_fd, out->leaf.c_str(), kFlags, 0666);
  if (out->fd < 0 && errno == EEXIST) {
    // Whatever is there (a file with other links, a link, a pipe) is replaced by a new file.
    struct stat st {};
    if (fstatat(tree->dir_fd, out->leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      return failf("cannot write %s: a folder is in the way", out->path.c_str());
    }
    if (unlinkat(tree->dir_fd, out->leaf.c_str(), 0) == 0) out->fd = openat(tree->dir_fd, out->leaf.c_str(), kFlags, 0666);
  }
  if (out->fd < 0) {
    if (errno == ENOSPC) *no_space = true;
    return failf("cannot create %s: %s", out->path.c_str(), std::strerror(errno));
  }
  return 1;
}

void output_discard(OutputTree* tree, OutputFile* file) {
  close_fd(&file->fd);
  if (!file->leaf.empty() && tree->dir_fd >= 0) unlinkat(tree->dir_fd, file->leaf.c_str(), 0);
  file->leaf.clear();
}

void output_tree_close(OutputTree* tree) {
  close_fd(&tree->dir_fd);
  close_fd(&tree->root_fd);
  tree->root.clear();
  tree->dir.clear();
}

}  // namespace lumra::files
