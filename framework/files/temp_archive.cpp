// Identity is checked by device and node before the rename and before the removal: between the
// creation and either of them another process may have put something else under the name.
#include "framework/files/temp_archive.h"

#include <cerrno>
#include <cstring>

#include "framework/base/error.h"
#include "framework/files/path.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

}  // namespace

TempArchive::~TempArchive() {
  stream_.reset();
  fd_.reset();
  if (!created_) return;
  sys::FileInfo now{};
  if (sys::ok(sys::file_info(path_.c_str(), sys::Links::kNoFollow, &now)) && sys::same_file(now, identity_)) {
    sys::remove_file(path_.c_str());
  }
}

int TempArchive::create(const std::string& prefix) {
  const std::string base = system_path(prefix);
  const sys::Status made = sys::create_unique_file(base.c_str(), ".~KX", fd_.receive(), &path_);
  if (!sys::ok(made)) return failf("cannot create a temporary archive %sXXXXXX.~KX: %s", base.c_str(), sys::describe(made));
  if (!sys::ok(sys::file_info(fd_.get(), &identity_))) {
    sys::remove_file(path_.c_str());
    return failf("cannot read the temporary archive %s", path_.c_str());
  }
  created_ = true;
  return 1;
}

std::FILE* TempArchive::stream() {
  if (stream_) return stream_.get();
  if (const sys::Status made = sys::stream_over(fd_.get(), "wb+", stream_.receive()); !sys::ok(made)) {
    return failf("cannot write %s: %s", path_.c_str(), sys::describe(made));
  }
  fd_.release_ownership();
  return stream_.get();
}

int TempArchive::commit(const std::string& archive) {
  const std::string target = system_path(archive);
  sys::FileInfo old{};
  const bool existed = sys::ok(sys::file_info(target.c_str(), sys::Links::kFollow, &old));
  const uint32_t permissions = existed ? old.permissions : sys::default_file_permissions();
  const sys::Descriptor d = stream_ ? sys::stream_descriptor(stream_.get()) : fd_.get();
  if (stream_ && std::fflush(stream_.get()) != 0) return failf("cannot write %s: %s", path_.c_str(), std::strerror(errno));
  if (const sys::Status set = sys::set_permissions(d, permissions); !sys::ok(set)) {
    return failf("cannot set the permissions of %s: %s", path_.c_str(), sys::describe(set));
  }
  if (stream_) {
    if (!stream_.close()) return failf("cannot write %s: %s", path_.c_str(), std::strerror(errno));
  } else if (const sys::Status closed = fd_.close(); !sys::ok(closed)) {
    return failf("cannot write %s: %s", path_.c_str(), sys::describe(closed));
  }
  sys::FileInfo now{};
  if (!sys::ok(sys::file_info(path_.c_str(), sys::Links::kNoFollow, &now)) || !sys::same_file(now, identity_)) {
    created_ = false;  // not ours any more: neither renamed nor removed
    return failf("the temporary archive %s was replaced while it was written", path_.c_str());
  }
  if (const sys::Status moved = sys::rename_file(path_.c_str(), target.c_str()); !sys::ok(moved)) {
    return failf("cannot replace %s: %s", archive.c_str(), sys::describe(moved));
  }
  created_ = false;
  return 1;
}

}  // namespace lumra::files
