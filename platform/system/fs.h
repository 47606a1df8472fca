// The file system as the framework uses it: folders opened and walked without following links,
// files created exclusively, file identity, sizes and times, and C streams past 2 GiB. Part of
// the system interface (platform/system/*.h), implemented once per operating system
// (platform/posix/fs.cpp here). Names are passed to the system as given: the framework turns its
// paths into the system's form first (framework/files/path.h, system_path).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/system/status.h"

namespace lumra::sys {

// An open file or folder of the system (a POSIX descriptor here); kNoDescriptor is none.
// framework/base/owned.h gives it an owner.
using Descriptor = intptr_t;
inline constexpr Descriptor kNoDescriptor = -1;

Status close_descriptor(Descriptor d);

enum class FileKind : uint8_t { kFile, kFolder, kLink, kOther };

struct FileTime {
  int64_t seconds;  // since 1970-01-01 00:00 UTC
  int32_t nanoseconds;
};

struct FileInfo {
  FileKind kind;
  uint64_t size;
  FileTime accessed;
  FileTime modified;
  uint64_t device;  // with node: the file's identity, the same under every name it has
  uint64_t node;
  bool mine;    // owned by the user this program runs as
  bool shared;  // other users may read, write or enter it
  uint32_t permissions;  // read, write and execute bits for owner, group and others (0777 at most)
};

inline bool same_file(const FileInfo& a, const FileInfo& b) { return a.device == b.device && a.node == b.node; }

// Whether a link standing as the last component of a name is followed or taken as itself.
enum class Links : uint8_t { kFollow, kNoFollow };

// Who may use a new file or folder: whoever the user's defaults let in, or the owner alone.
enum class Access : uint8_t { kDefault, kOwnerOnly };

// By path; a relative path starts at the current folder. On failure *out is kNoDescriptor or
// null.
Status file_info(const char* path, Links links, FileInfo* out);
Status make_folder(const char* path, Access access);
// A folder opened for the calls below that work inside one, and for read_folder.
Status open_folder(const char* path, Links links, Descriptor* out);
// A file opened for reading; a named pipe or device opens without waiting (check its kind).
Status open_file(const char* path, Descriptor* out);
// A new file for writing; fails (is_taken) when anything stands under the name, a link too.
Status create_new_file(const char* path, Access access, Descriptor* out);
// A new file for reading and writing, open to its owner only, under a name no other file has:
// `prefix` (a path), six characters chosen here, then `suffix`. Never a link or an existing
// file. *path receives the name.
Status create_unique_file(const char* prefix, const char* suffix, Descriptor* out, std::string* path);
// A new folder open to its owner only, named `prefix` plus six characters chosen here.
Status make_unique_folder(const char* prefix, std::string* path);
// A new, empty file for writing as a C stream ("wb"). A file under the name is cut to nothing;
// a link under the name is removed, never written through.
Status create_stream(const char* path, std::FILE** out);
// A file or a link, never a folder.
Status remove_file(const char* path);
// Replaces whatever file stands under `to`.
Status rename_file(const char* from, const char* to);

// Inside an open folder; `name` is one component. Links in it are never followed, except by
// file_info_at when asked to.
Status file_info_at(Descriptor folder, const char* name, Links links, FileInfo* out);
Status open_folder_at(Descriptor folder, const char* name, Descriptor* out);
Status make_folder_at(Descriptor folder, const char* name, Access access = Access::kDefault);
Status create_new_file_at(Descriptor folder, const char* name, Descriptor* out, Access access = Access::kDefault);
Status remove_file_at(Descriptor folder, const char* name);
// Empty folders only.
Status remove_folder_at(Descriptor folder, const char* name);

struct FolderEntry {
  std::string name;
  FileKind kind;  // the entry itself: a link is kLink whatever it points to
};
// Every entry of an open folder but "." and "..", in the order the system keeps them.
Status read_folder(Descriptor folder, std::vector<FolderEntry>* out);

// Open files.
Status file_info(Descriptor d, FileInfo* out);
// Reads until `size` bytes or the end of the file: *got < size only at the end.
Status read_full(Descriptor d, void* out, size_t size, size_t* got);
// Writes all `size` bytes.
Status write_all(Descriptor d, const void* data, size_t size);
// The same at a position, leaving the descriptor's own position alone.
Status read_full_at(Descriptor d, uint64_t offset, void* out, size_t size, size_t* got);
Status write_all_at(Descriptor d, uint64_t offset, const void* data, size_t size);
// Tells the system the file will be read from start to end once (a hint: read ahead, and pages
// already read may go).
void expect_sequential_reads(Descriptor d);
// A null time is left as it is.
Status set_times(Descriptor d, const FileTime* accessed, const FileTime* modified);
Status resize(Descriptor d, uint64_t size);
// Takes every access away from other users.
Status make_owner_only(Descriptor d);
// Sets the read, write and execute bits (0777 at most).
Status set_permissions(Descriptor d, uint32_t permissions);
// The bits a new file gets by default: 0666 less what the user's defaults (the umask) take away.
uint32_t default_file_permissions();

// Bytes that this user may still write on the file system that holds `path`.
Status free_space(const char* path, uint64_t* out);

// Hands an open descriptor to a C stream (mode as fopen's, "rb+" say); the stream then owns it.
// On failure the descriptor is still the caller's.
Status stream_over(Descriptor d, const char* mode, std::FILE** out);
// A read-only view of the first `size` bytes (1 or more) of an open regular file, shared with
// the system's cache instead of copied; null when the system gives none (then read the file).
// The view outlives the descriptor. A file cut short by another program while its view is read
// ends the program (SIGBUS) at the first byte past the new end, as for every mapped file.
const void* map_file(Descriptor d, size_t size);
void unmap_file(const void* view, size_t size);

// C streams: the descriptor under one (the stream still owns it; flush before changing the file
// through it), and positions past 2 GiB.
Descriptor stream_descriptor(std::FILE* f);
bool seek(std::FILE* f, int64_t offset_from_start);
int64_t tell(std::FILE* f);  // -1 on failure

// The system's folder for temporary files, without a trailing separator: $TMPDIR when it names
// an existing absolute folder, else /tmp. Other users share it: make a private folder inside.
std::string temp_folder();
// A short text telling this user from the others on the machine (the effective user id here),
// for per-user names in shared places.
std::string user_tag();

}  // namespace lumra::sys
