// Directory searches read each folder whole and sort its names, so listings come out in the same
// order on every file system. Links are examined with lstat: a link to a folder is listed as a
// folder but never entered, so a loop or a link out of the tree cannot pull the walk along.
#include "framework/files/listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "framework/base/error.h"
#include "framework/files/wildcard.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

struct Found {
  std::string name;
  bool is_dir;   // a folder, or a link to one
  bool is_link;
  struct stat st;
};

// Every entry of a folder but "." and "..", sorted by name; empty when it cannot be read.
std::vector<Found> read_folder(const std::string& folder) {
  std::vector<Found> out;
  DIR* d = opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return out;
  const int fd = dirfd(d);
  while (const dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    Found f{};
    f.name = e->d_name;
    if (fstatat(fd, e->d_name, &f.st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISLNK(f.st.st_mode)) {
      f.is_link = true;
      struct stat target {};
      // A link counts as what it points to; a dangling one as a file, so it can still be deleted.
      if (fstatat(fd, e->d_name, &target, 0) == 0) {
        f.is_dir = S_ISDIR(target.st_mode);
        if (!f.is_dir) f.st = target;
      }
    } else {
      f.is_dir = S_ISDIR(f.st.st_mode);
    }
    out.push_back(std::move(f));
  }
  closedir(d);
  std::sort(out.begin(), out.end(), [](const Found& a, const Found& b) { return a.name < b.name; });
  return out;
}

struct Search {
  base::DynArray* listing;
  std::string base;  // the spec's base name
  std::string ext;   // the spec's extension, "." taken as empty
  bool descend;
  int mode;
  std::unordered_set<std::string> seen;  // paths already listed
};

bool append(Search& s, const std::string& path, int depth, const Found& f, bool with_file_fields) {
  if (path.size() >= kMaxPath) return failf("path too long for a listing (%zu bytes): %.64s...", path.size(), path.c_str());
  if (f.name.size() >= kMaxName) return failf("name too long for a listing: %.64s...", f.name.c_str());
  auto* e = static_cast<ListingEntry*>(base::array_append(s.listing));
  if (!e) return fail("out of memory for the listing");
  std::memcpy(e->path, path.c_str(), path.size() + 1);
  e->depth = depth;
  std::memcpy(e->name, f.name.c_str(), f.name.size() + 1);
  if (with_file_fields) {
    e->modified = unpack_dos_time(dos_time_from_unix(f.st.st_mtime));
    e->size = static_cast<uint64_t>(f.st.st_size);
  }
  return true;
}

bool search_folder(Search& s, const std::string& folder, int depth) {
  const std::string spec_name = s.base + s.ext;
  for (const Found& f : read_folder(folder)) {
    const std::string path = folder + f.name;
    if (!s.descend && !dos_name_match(spec_name, f.name)) continue;
    if (s.mode == kListFiles) {
      if (f.is_dir) {
        if (s.descend && f.name[0] != '.' && !f.is_link) {
          if (!search_folder(s, path + "/", depth + 1)) return false;
        }
        continue;
      }
      if (s.descend) {
        const PathParts fp = split_path(f.name);
        if (wildcard_compare(s.base, fp.base) != 0) continue;
        if (wildcard_compare(s.ext, fp.ext.empty() ? std::string_view(".") : fp.ext) != 0) continue;
      }
      if (!s.seen.insert(path).second) continue;
      if (!append(s, path, depth, f, true)) return false;
    } else {
      if (!f.is_dir || f.name[0] == '.') continue;
      if (!append(s, path, depth, f, false)) return false;
      if (s.descend && !f.is_link && !search_folder(s, path + "/", depth + 1)) return false;
    }
  }
  return true;
}

}  // namespace

int list_files(base::DynArray* listing, const char* spec, int descend, int mode) {
  if (!listing || !spec) return fail("no listing or no search spec");
  if (listing->element_size == 0) base::array_setup(listing, sizeof(ListingEntry));
  if (listing->element_size != sizeof(ListingEntry)) return fail("the array is not a listing");
  bool ok = true;
  if (mode == kListFiles || mode == kListDirectories) {
    const PathParts p = split_path(spec);
    Search s{listing, p.base, p.ext == "." ? std::string() : p.ext, descend != 0, mode, {}};
    if (mode == kListFiles) {
      for (uint32_t i = 0; i < listing->count; ++i) {
        s.seen.insert(static_cast<const ListingEntry*>(base::array_at(listing, i))->path);
      }
    }
    ok = search_folder(s, native_path(p.drive + p.dir), 0);
  }
  if (ok && listing->count > 0) return 1;
  base::array_release(listing);
  return 0;
}

int file_exists(const char* path) {
  if (!path) return 0;
  if (!has_wildcards(path)) {
    struct stat st {};
    return lstat(native_path(path).c_str(), &st) == 0 ? 1 : 0;
  }
  base::DynArray listing{};
  list_files(&listing, path, 0, kListFiles);
  const int count = static_cast<int>(listing.count);
  base::array_release(&listing);
  return count;
}

int directory_exists(const char* path) {
  if (!path) return 0;
  base::DynArray listing{};
  list_files(&listing, path, 0, kListDirectories);
  const int count = static_cast<int>(listing.count);
  base::array_release(&listing);
  return count;
}

int delete_files(const char* spec, int descend) {
  base::DynArray listing{};
  if (!list_files(&listing, spec, descend, kListFiles)) return 0;
  uint8_t* at = nullptr;
  while (base::array_next(&listing, &at)) unlink(reinterpret_cast<const ListingEntry*>(at)->path);
  base::array_release(&listing);
  return 1;
}

int delete_files_in_folder(const char* folder, const char* pattern, int descend) {
  if (!folder || !pattern) return 0;
  std::string spec = folder;
  if (!spec.empty() && !is_separator(spec.back())) spec.push_back('/');
  spec += pattern;
  return delete_files(spec.c_str(), descend);
}

namespace {

// One folder of the tree walk: its subfolders still to visit, and its identity, so that climbing
// back through ".." can prove it reached the same folder.
struct Level {
  std::vector<std::string> subfolders;
  size_t next = 0;
  dev_t dev = 0;
  ino_t ino = 0;
};

// Unlinks every non-folder in `fd` (failures ignored) and gathers its subfolders.
bool clear_files(int fd, Level* level) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  level->dev = st.st_dev;
  level->ino = st.st_ino;
  const int own = dup(fd);
  if (own < 0) return false;
  DIR* d = fdopendir(own);
  if (!d) {
    close(own);
    return false;
  }
  while (const dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    bool is_dir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN) {
      struct stat est {};
      is_dir = fstatat(fd, e->d_name, &est, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(est.st_mode);
    }
    if (is_dir) {
      level->subfolders.emplace_back(e->d_name);
    } else {
      unlinkat(fd, e->d_name, 0);
    }
  }
  closedir(d);
  return true;
}

}  // namespace

int delete_tree(const char* folder) {
  if (!folder || !*folder) return fail("no folder to delete");
  // Only one folder is open at a time: the walk climbs back through "..", checked against the
  // folder it left, so trees deeper than the open-file limit can go too.
  int cur = open(native_path(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (cur < 0) return failf("cannot open %s: %s", folder, std::strerror(errno));
  std::vector<Level> stack(1);
  bool ok = clear_files(cur, &stack.back());
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.next < top.subfolders.size()) {
      const std::string& name = top.subfolders[top.next++];
      const int child = openat(cur, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0) {
        ok = false;
        continue;
      }
      Level next;
      if (!clear_files(child, &next)) {
        close(child);
        ok = false;
        continue;
      }
      close(cur);
      cur = child;
      stack.push_back(std::move(next));
      continue;
    }
    stack.pop_back();
    if (stack.empty()) break;
    const int parent = openat(cur, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (parent < 0 || fstat(parent, &st) != 0 || st.st_dev != stack.back().dev || st.st_ino != stack.back().ino) {
      if (parent >= 0) close(parent);
      close(cur);
      return fail("a folder moved while its tree was being deleted");
    }
    close(cur);
    cur = parent;
    const Level& up = stack.back();
    if (unlinkat(cur, up.subfolders[up.next - 1].c_str(), AT_REMOVEDIR) != 0) {
      ok = false;
      failf("cannot remove folder %s: %s", up.subfolders[up.next - 1].c_str(), std::strerror(errno));
    }
  }
  close(cur);
  return ok ? 1 : 0;
}

}  // namespace lumra::files
