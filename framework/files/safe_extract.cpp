// Path checks and the folder walk behind extraction: each member folder is opened below the last
// without following links, and the file is created exclusively. Nothing here trusts a name from
// an archive.
#include "framework/files/safe_extract.h"

#include <vector>

#include "framework/base/error.h"
#include "framework/files/path.h"
#include "framework/files/temp.h"
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

// Handles kept along a path of `depth` folders: the deepest kTail and every kStride-th.
constexpr size_t kTail = 16;
constexpr size_t kStride = 64;
bool keep_handle(size_t level, size_t depth) { return level + kTail >= depth || (level + 1) % kStride == 0; }

// The tree's current member folder: the root itself for members at the top.
sys::Descriptor current_folder(const OutputTree& t) { return t.handles.empty() ? t.root_fd.get() : t.handles.back().get(); }

void forget_folders(OutputTree* t) {
  t->handles.clear();
  t->parts.clear();
}

// Opens the caller's folder, making it (and its parents) when missing.
bool open_root(OutputTree* t, const std::string& root, bool* no_space) {
  if (t->root_fd && t->root == root) return true;
  forget_folders(t);
  t->root.clear();
  t->access = in_private_temp(root) ? sys::Access::kOwnerOnly : sys::Access::kDefault;
  const std::string path = root.empty() ? std::string(".") : system_path(root);
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (sys::is_disk_full(sys::make_folder(path.substr(0, i).c_str(), t->access))) *no_space = true;
    }
  }
  const sys::Status opened = sys::open_folder(path.c_str(), sys::Links::kFollow, t->root_fd.receive());
  if (!sys::ok(opened)) return failf("cannot open the destination %s: %s", path.c_str(), sys::describe(opened));
  t->root = root;
  return true;
}

// The path of the first `count` folders of `parts`, for messages.
std::string shown_path(const OutputTree& t, const std::vector<std::string_view>& parts, size_t count) {
  std::string out = t.root;
  for (size_t i = 0; i < count; ++i) {
    if (!out.empty()) out.push_back('/');
    out.append(parts[i]);
  }
  return out;
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

// Opens folder `name` below `parent`, making it when missing, never through a link.
bool open_step(const OutputTree& t, sys::Descriptor parent, const std::string& name, const std::vector<std::string_view>& parts,
               size_t level, base::OwnedDescriptor* out, bool* no_space, bool* refused) {
  sys::Status opened = sys::open_folder_at(parent, name.c_str(), out->receive());
  if (sys::is_missing(opened)) {
    const sys::Status made = sys::make_folder_at(parent, name.c_str(), t.access);
    if (!sys::ok(made) && !sys::is_taken(made)) {
      if (sys::is_disk_full(made)) *no_space = true;
      return failf("cannot make the folder %s: %s", shown_path(t, parts, level + 1).c_str(), sys::describe(made));
    }
    opened = sys::open_folder_at(parent, name.c_str(), out->receive());
  }
  if (!sys::ok(opened)) return refuse_step(parent, name, shown_path(t, parts, level + 1), opened, refused);
  return true;
}

// Makes the member folder `parts` below the root the current one, one component at a time and
// never through a link, starting from the deepest handle the way there shares with the last one.
bool open_dir(OutputTree* t, const std::vector<std::string_view>& parts, bool* no_space, bool* refused) {
  size_t common = 0;
  while (common < t->parts.size() && common < parts.size() && t->parts[common] == parts[common]) ++common;
  if (common == t->parts.size() && common == parts.size()) return true;
  t->parts.resize(common);
  t->handles.resize(common);
  size_t start = common;
  while (start > 0 && !t->handles[start - 1]) --start;
  t->parts.resize(parts.size());
  t->handles.resize(parts.size());
  sys::Descriptor parent = start > 0 ? t->handles[start - 1].get() : t->root_fd.get();
  base::OwnedDescriptor walking;  // the folder opened last, while it is not one to keep
  for (size_t i = start; i < parts.size(); ++i) {
    t->parts[i] = std::string(parts[i]);
    base::OwnedDescriptor next;
    if (!open_step(*t, parent, t->parts[i], parts, i, &next, no_space, refused)) {
      forget_folders(t);
      return false;
    }
    if (keep_handle(i, parts.size())) {
      t->handles[i] = std::move(next);
      parent = t->handles[i].get();
    } else {
      walking = std::move(next);
      parent = walking.get();
    }
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    if (!keep_handle(i, parts.size())) t->handles[i].reset();
  }
  return true;
}

}  // namespace

bool member_name_safe(std::string_view name) {
  if (name.size() >= 2 && name[1] == ':') return failf("refused: member name %.200s carries a drive", std::string(name).c_str());
  if (!name.empty() && is_separator(name[0])) {
    return failf("refused: member name %.200s is absolute", std::string(name).c_str());
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 32) {
      return failf("refused: member name %.200s holds a control character", std::string(name).c_str());
    }
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
  out->refused = false;
  if (!open_root(tree, root, no_space)) return 0;
  if (!open_dir(tree, parts, no_space, &out->refused)) return 0;
  if (folder_only) return 1;

  const sys::Descriptor folder = current_folder(*tree);
  sys::Status created = sys::create_new_file_at(folder, out->leaf.c_str(), out->fd.receive(), tree->access);
  if (sys::is_taken(created)) {
    // Whatever is there (a file with other links, a link, a pipe) is replaced by a new file.
    sys::FileInfo info{};
    if (sys::ok(sys::file_info_at(folder, out->leaf.c_str(), sys::Links::kNoFollow, &info)) &&
        info.kind == sys::FileKind::kFolder) {
      return failf("cannot write %s: a folder is in the way", out->path.c_str());
    }
    created = sys::remove_file_at(folder, out->leaf.c_str());
    if (sys::ok(created)) created = sys::create_new_file_at(folder, out->leaf.c_str(), out->fd.receive(), tree->access);
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
