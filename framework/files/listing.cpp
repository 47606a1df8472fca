// Directory searches read each folder whole and sort its names, so listings come out in the same
// order on every file system. Links are examined as themselves: a link to a folder is listed as a
// folder but never entered, so a loop or a link out of the tree cannot pull the walk along.
#include "framework/files/listing.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "framework/base/error.h"
#include "framework/base/owned.h"
#include "framework/files/wildcard.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

struct Found {
  std::string name;
  bool is_dir;   // a folder, or a link to one
  bool is_link;
  sys::FileInfo info;  // a link's target unless that is a folder
};

// Every entry of a folder but "." and "..", sorted by name; empty when it cannot be read.
std::vector<Found> read_folder(const std::string& folder) {
  std::vector<Found> out;
  base::OwnedDescriptor fd;
  std::vector<sys::FolderEntry> entries;
  if (!sys::ok(sys::open_folder(folder.empty() ? "." : folder.c_str(), sys::Links::kFollow, fd.receive())) ||
      !sys::ok(sys::read_folder(fd.get(), &entries))) {
    return out;
  }
  for (const sys::FolderEntry& e : entries) {
    Found f{};
    f.name = e.name;
    if (!sys::ok(sys::file_info_at(fd.get(), e.name.c_str(), sys::Links::kNoFollow, &f.info))) continue;
    if (f.info.kind == sys::FileKind::kLink) {
      f.is_link = true;
      sys::FileInfo target{};
      // A link counts as what it points to; a dangling one as a file, so it can still be deleted.
      if (sys::ok(sys::file_info_at(fd.get(), e.name.c_str(), sys::Links::kFollow, &target))) {
        f.is_dir = target.kind == sys::FileKind::kFolder;
        if (!f.is_dir) f.info = target;
      }
    } else {
      f.is_dir = f.info.kind == sys::FileKind::kFolder;
    }
    out.push_back(std::move(f));
  }
  std::sort(out.begin(), out.end(), [](const Found& a, const Found& b) { return a.name < b.name; });
  return out;
}

struct Search {
  base::DynArray* listing;
  std::string base;  // the search pattern's base name
  std::string ext;   // the search pattern's extension, "." taken as empty
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
    e->modified = unpack_dos_time(dos_time_from_unix(f.info.modified.seconds));
    e->size = f.info.size;
  }
  return true;
}

ListOutcome failed(base::Failure) { return ListOutcome::kFailed; }

bool search_folder(Search& s, const std::string& folder, int depth) {
  const std::string pattern_name = s.base + s.ext;
  for (const Found& f : read_folder(folder)) {
    const std::string path = folder + f.name;
    if (!s.descend && !dos_name_match(pattern_name, f.name)) continue;
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

ListOutcome list_files_outcome(base::DynArray* listing, const char* pattern, int descend, int mode) {
  if (!listing || !pattern) return failed(fail("no listing or no search pattern"));
  if (listing->element_size == 0) base::array_setup(listing, sizeof(ListingEntry));
  if (listing->element_size != sizeof(ListingEntry)) return failed(fail("the array is not a listing"));
  bool ok = true;
  if (mode == kListFiles || mode == kListDirectories) {
    const PathParts p = split_path(pattern);
    Search s{listing, p.base, p.ext == "." ? std::string() : p.ext, descend != 0, mode, {}};
    if (mode == kListFiles) {
      for (uint32_t i = 0; i < listing->count; ++i) {
        s.seen.insert(static_cast<const ListingEntry*>(base::array_at(listing, i))->path);
      }
    }
    ok = search_folder(s, system_path(p.drive + p.dir), 0);
  }
  if (ok && listing->count > 0) return ListOutcome::kListed;
  base::array_release(listing);
  return ok ? ListOutcome::kNothing : ListOutcome::kFailed;
}

int list_files(base::DynArray* listing, const char* pattern, int descend, int mode) {
  return list_files_outcome(listing, pattern, descend, mode) == ListOutcome::kListed ? 1 : 0;
}

int file_exists(const char* path) {
  if (!path) return 0;
  if (!has_wildcards(path)) {
    sys::FileInfo info{};
    return sys::ok(sys::file_info(system_path(path).c_str(), sys::Links::kNoFollow, &info)) ? 1 : 0;
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

int delete_files(const char* pattern, int descend) {
  base::DynArray listing{};
  if (!list_files(&listing, pattern, descend, kListFiles)) return 0;
  uint8_t* at = nullptr;
  while (base::array_next(&listing, &at)) sys::remove_file(reinterpret_cast<const ListingEntry*>(at)->path);
  base::array_release(&listing);
  return 1;
}

int delete_files_in_folder(const char* folder, const char* pattern, int descend) {
  if (!folder || !pattern) return 0;
  std::string search = folder;
  if (!search.empty() && !is_separator(search.back())) search.push_back('/');
  search += pattern;
  return delete_files(search.c_str(), descend);
}

namespace {

// One folder of the tree walk: its subfolders still to visit, and its identity, so that climbing
// back through ".." can prove it reached the same folder.
struct Level {
  std::vector<std::string> subfolders;
  size_t next = 0;
  sys::FileInfo identity{};
};

// Removes every non-folder in `folder` (failures ignored) and gathers its subfolders.
bool clear_files(sys::Descriptor folder, Level* level) {
  std::vector<sys::FolderEntry> entries;
  if (!sys::ok(sys::file_info(folder, &level->identity)) || !sys::ok(sys::read_folder(folder, &entries))) return false;
  for (const sys::FolderEntry& e : entries) {
    if (e.kind == sys::FileKind::kFolder) {
      level->subfolders.push_back(e.name);
    } else {
      sys::remove_file_at(folder, e.name.c_str());
    }
  }
  return true;
}

}  // namespace

int delete_tree(const char* folder) {
  if (!folder || !*folder) return fail("no folder to delete");
  // Only one folder is open at a time: the walk climbs back through "..", checked against the
  // folder it left, so trees deeper than the open-file limit can go too.
  base::OwnedDescriptor cur;
  const sys::Status opened = sys::open_folder(system_path(folder).c_str(), sys::Links::kFollow, cur.receive());
  // A folder that is not there holds nothing to remove: that is success, as for an empty one.
  if (sys::is_missing(opened)) return 1;
  if (!sys::ok(opened)) return failf("cannot open %s: %s", folder, sys::describe(opened));
  std::vector<Level> stack(1);
  bool ok = clear_files(cur.get(), &stack.back());
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.next < top.subfolders.size()) {
      const std::string& name = top.subfolders[top.next++];
      base::OwnedDescriptor child;
      Level next;
      if (!sys::ok(sys::open_folder_at(cur.get(), name.c_str(), child.receive())) || !clear_files(child.get(), &next)) {
        ok = false;
        continue;
      }
      cur = std::move(child);
      stack.push_back(std::move(next));
      continue;
    }
    stack.pop_back();
    if (stack.empty()) break;
    base::OwnedDescriptor parent;
    sys::FileInfo reached{};
    if (!sys::ok(sys::open_folder_at(cur.get(), "..", parent.receive())) ||
        !sys::ok(sys::file_info(parent.get(), &reached)) || !sys::same_file(reached, stack.back().identity)) {
      return fail("a folder moved while its tree was being deleted");
    }
    cur = std::move(parent);
    const Level& up = stack.back();
    const std::string& done = up.subfolders[up.next - 1];
    if (const sys::Status removed = sys::remove_folder_at(cur.get(), done.c_str()); !sys::ok(removed)) {
      ok = false;
      failf("cannot remove folder %s: %s", done.c_str(), sys::describe(removed));
    }
  }
  return ok ? 1 : 0;
}

}  // namespace lumra::files
