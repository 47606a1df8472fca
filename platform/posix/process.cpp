// POSIX processes: getpid.
#include "platform/system/process.h"

#include <unistd.h>

namespace lumra::sys {

uint32_t process_id() { return static_cast<uint32_t>(getpid()); }

}  // namespace lumra::sys
