// Removal of an unfinished file; a removal that fails leaves nothing better to do.
#include "framework/files/pending_file.h"

#include "platform/system/fs.h"

namespace lumra::files {

PendingFile::~PendingFile() {
  if (!path_.empty()) sys::remove_file(path_.c_str());
}

}  // namespace lumra::files
