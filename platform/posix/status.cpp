// POSIX error numbers: errno values, told apart by the framework for the causes it acts on.
#include "platform/system/status.h"

#include <cerrno>
#include <cstring>

namespace lumra::sys {

const char* describe(Status s) { return s.error == 0 ? "" : std::strerror(s.error); }

bool is_missing(Status s) { return s.error == ENOENT; }
bool is_taken(Status s) { return s.error == EEXIST; }
bool is_disk_full(Status s) { return s.error == ENOSPC; }

}  // namespace lumra::sys
