// A look at the start of a file before the archive command reads it, for programs that must tell
// an archive without members from a file that is no archive at all. The archive command reads
// both the same way (a file whose first bytes are no zip signature is a native archive, and one
// whose first header does not read has no members); this look tells them apart.
#pragma once

namespace lumra::files {

enum class ArchiveLook {
  kUnopened,  // cannot be opened or is no regular file: the archive command gives the reason
  kEmpty,     // 0 bytes: an archive without members in either format
  kZip,       // taken as zip (forced, or by its signature or name); minizip judges the rest
  kNative,    // its first native header reads: name, check bytes and record length hold
  kNeither,   // neither: the reason is recorded in base::last_error()
};

// `format` and `key` as the archive command takes them. A native header whose check bytes are not
// zero is unscrambled with `key`; without a key it is unreadable, and the reason says so.
ArchiveLook look_at_archive(const char* path, int format, int key);

}  // namespace lumra::files
