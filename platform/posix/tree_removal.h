// Removing a folder with everything in it, never following a symbolic link, in a form that may run
// inside a signal handler: system calls only (openat, getdents64, unlinkat, fstat, fchmod, close),
// no allocation, and all its state in a work area the caller provides. Internal to platform/posix.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::sys::posix {

// Folders nested deeper than this below the one removed are left (the removal then fails). A path
// the system accepts whole cannot nest deeper than about half its 4096-byte limit.
inline constexpr size_t kRemovalMaxDepth = 4096;
// Folders that could not be emptied, remembered so that the walk never enters one twice; past this
// many the removal gives up.
inline constexpr size_t kRemovalMaxStuck = 256;

struct FileIdentity {
  uint64_t device;
  uint64_t node;
};

// Everything one removal needs; about 70 KiB, so keep it static or on the heap, and give a signal
// handler its own.
struct RemovalWork {
  FileIdentity path[kRemovalMaxDepth];  // the folders entered, the removed one first
  FileIdentity stuck[kRemovalMaxStuck];
  size_t stuck_count;
  alignas(8) unsigned char entries[8192];  // getdents64 records
};

// Removes every entry below the folder open as `folder` (the folder itself stays). Links are
// removed as links; folders that are not writable but are the user's are made so first. true when
// the folder is empty at the end. `folder` keeps its position and stays open.
bool clear_folder(int folder, RemovalWork* work);

// Removes `name` inside the open folder `parent` with everything in it: a file or a link is
// unlinked, a folder is cleared and removed. true also when nothing stands under the name.
bool remove_tree_at(int parent, const char* name, RemovalWork* work);

}  // namespace lumra::sys::posix
