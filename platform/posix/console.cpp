// POSIX terminals: isatty on the stream's descriptor.
#include "platform/system/console.h"

#include <unistd.h>

namespace lumra::sys {

bool is_terminal(std::FILE* stream) { return stream && isatty(fileno(stream)) != 0; }

}  // namespace lumra::sys
