// Temporary folders and names. The system's temporary folder (sys::temp_folder) may be shared
// between users, so the framework's temporary path is a private folder of its own inside it, and
// new names are created exclusively: nobody else can plant a file or a link where the framework
// is about to write.
#pragma once

#include <string>
#include <string_view>

namespace lumra::files {

// The system's temporary folder plus "lumra-<user>/" (user: sys::user_tag), made private (below).
// When that name is held by someone else (another user's folder, a link), a fresh private folder
// "lumra-<user>-XXXXXX/" made under an unpredictable name instead, kept for the rest of the
// process. 1 with the path, ending in "/", in *out; 0 when it cannot be made safe.
int temp_path(std::string* out);

// Whether `path` lies inside the private folder temp_path gave (a caller's unpack folder, say):
// what is extracted there is made for its owner only.
bool in_private_temp(std::string_view path);

// Creates `path`, open to its owner only, when missing. An existing one must be a real folder
// (not a link) owned by this user; access for others is then removed. 1 or 0.
int make_private_folder(const char* path);

// folder + "/" + up to three characters of prefix + four hex digits + ".tmp". With unique 0 the
// numbers are tried from a start that differs per call until a file can be created exclusively
// (it is left there, empty); otherwise the name is only formed. Returns the number used, 0 when
// no name could be made.
unsigned temp_file_name(const char* folder, const char* prefix, unsigned unique, std::string* out);

}  // namespace lumra::files
