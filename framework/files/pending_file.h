// A file being written that a failure must not leave behind: the destination of a copy, the
// temporary archive of an add, merge or delete. Declared before whatever writes the file, it is
// destroyed after the writer has closed it.
#pragma once

#include <string>

namespace lumra::files {

class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Names the file about to be made (in the system's form, see path.h); from now on it is
  // removed on destruction unless keep() is called.
  void created(std::string system_path) { path_ = std::move(system_path); }
  // The file is complete: it stays.
  void keep() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace lumra::files
