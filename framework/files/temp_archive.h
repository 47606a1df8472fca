// The new version of an archive while an add, merge or delete writes it: a file created
// exclusively under a name of its own beside the archive, open to its owner only, written through
// its descriptor, and renamed over the archive only when complete and only while that name still
// holds this very file. Dropped before then, it is removed (again only if it is still this file),
// so no temporary file is left behind and nobody else's file is ever renamed or removed.
#pragma once

#include <cstdio>
#include <string>

#include "framework/base/owned.h"
#include "platform/system/fs.h"

namespace lumra::files {

class TempArchive {
 public:
  TempArchive() = default;
  ~TempArchive();
  TempArchive(const TempArchive&) = delete;
  TempArchive& operator=(const TempArchive&) = delete;

  // Creates `prefix` + six characters + ".~KX" (prefix in the framework's path form). 1, or 0 with
  // a reason.
  int create(const std::string& prefix);
  // The open file, for writing through it (until stream() or commit()).
  sys::Descriptor descriptor() const { return fd_.get(); }
  // The file as a C stream opened "wb+"; the stream then owns the descriptor. Null on failure.
  std::FILE* stream();
  // Closes the file, gives it the archive's permissions (a new archive the user's default ones)
  // and renames it over `archive`. 1, or 0 with a reason (the file is then removed).
  int commit(const std::string& archive);
  const std::string& path() const { return path_; }  // in the system's form

 private:
  std::string path_;
  base::OwnedDescriptor fd_;
  base::OwnedFile stream_;
  sys::FileInfo identity_{};
  bool created_ = false;
};

}  // namespace lumra::files
