// Path checks and the folder walk behind extraction: each member folder is opened below the last
// without following links, and the file is created exclusively. Nothing here trusts a name from
// an archive.
#include "framework/files/safe_extract.h"

#include <vector>

#include "framework/base/error.h"
#include "framework/files/path.h"
#include "platform/system/fs.h"

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

// The tree's current member folder: the root itself for members at the top.
sys::Descriptor current_folder(const OutputTree& t) { return t.dir_fd ? t.dir_fd.get() : t.root_fd.get(); }

// Opens the caller's folder, making it (and its parents) when missing.
bool open_root(OutputTree* t, const std::string& root, bool* no_space) {
  if (t->root_fd && t->root == root) return true;
  t->dir_fd.reset();
  t->dir.clear();
  t->root.clear();
  const std::string path = root.empty() ? std::string(".") : system_path(root);
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (sys::is_disk_full(sys::make_folder(path.substr(0, i).c_str(), sys::Access::kDefault))) *no_space = true;
    }
  }
  const sys::Status opened = sys::open_folder(path.c_str(), sys::Links::kFollow, t->root_fd.receive());
  if (!sys::ok(opened)) return failf("cannot open the destination %s: %s", path.c_str(), sys::describe(opened));
  t->root = root;
  return true;
}

// Why `name` in `parent` could not be opened as a folder (`why`): a link there is refused.
bool refuse_step(sys::Descriptor parent, const std::string& name, const std::string& shown, sys::Status why,
                 bool* refused) {
  sys::FileInfo info{};
  if (sys::ok(sys::file_info_at(parent, name.c_str(), sys::Links::kNoFollow, &info)) &&
      info.kind == sys::FileKind::kLink) {
    *refused = true;
    return failf("refused: the output path passes through the symbolic link %s", shown.c_str());
  }
  return failf("cannot make the folder %s: %s", shown.c_str(), sys::describe(why));
}

// Opens the member folder `dir` below the root, one component at a time, never through a link.
bool open_dir(OutputTree* t, const std::vector<std::string_view>& parts, const std::string& dir, bool* no_space,
              bool* refused) {
  if (t->dir == dir && (dir.empty() || t->dir_fd)) return true;
  t->dir_fd.reset();
  t->dir.clear();
  base::OwnedDescriptor fd;
  std::string shown = t->root;
  for (const std::string_view part : parts) {
    const std::string name(part);
    if (!shown.empty()) shown.push_back('/');
    shown += name;
    const sys::Descriptor parent = fd ? fd.get() : t->root_fd.get();
    base::OwnedDescriptor next;
    sys::Status opened = sys::open_folder_at(parent, name.c_str(), next.receive());
    if (sys::is_missing(opened)) {
      const sys::Status made = sys::make_folder_at(parent, name.c_str());
      if (!sys::ok(made) && !sys::is_taken(made)) {
        if (sys::is_disk_full(made)) *no_space = true;
        return failf("cannot make the folder %s: %s", shown.c_str(), sys::describe(made));
      }
      opened = sys::open_folder_at(parent, name.c_str(), next.receive());
    }
    if (!sys::ok(opened)) return refuse_step(parent, name, shown, opened, refused);
    fd = std::move(next);
  }
  t->dir_fd = std::move(fd);
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
  const std::string shown_root = root.empty() ? std::string(".") : system_path(root);
  out->path = shown_root + "/" + system_path(relative);
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

  const sys::Descriptor folder = current_folder(*tree);
  sys::Status created = sys::create_new_file_at(folder, out->leaf.c_str(), out->fd.receive());
  if (sys::is_taken(created)) {
    // Whatever is there (a file with other links, a link, a pipe) is replaced by a new file.
    sys::FileInfo info{};
    if (sys::ok(sys::file_info_at(folder, out->leaf.c_str(), sys::Links::kNoFollow, &info)) &&
        info.kind == sys::FileKind::kFolder) {
      return failf("cannot write %s: a folder is in the way", out->path.c_str());
    }
    created = sys::remove_file_at(folder, out->leaf.c_str());
    if (sys::ok(created)) created = sys::create_new_file_at(folder, out->leaf.c_str(), out->fd.receive());
  }
  if (!sys::ok(created)) {
    if (sys::is_disk_full(created)) *no_space = true;
    return failf("cannot create %s: %s", out->path.c_str(), sys::describe(created));
  }
  return 1;
}

void output_discard(OutputTree* tree, OutputFile* file) {
  file->fd.reset();
  if (!file->leaf.empty() && tree->root_fd) sys::remove_file_at(current_folder(*tree), file->leaf.c_str());
  file->leaf.clear();
}

}  // namespace lumra::files
