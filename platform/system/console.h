// The terminal behind the standard streams, for programs that show progress only to a person.
// Part of the system interface (platform/system/*.h), implemented once per operating system.
#pragma once

#include <cstdio>

namespace lumra::sys {

// True when the stream writes to (or reads from) a terminal rather than a file or a pipe.
bool is_terminal(std::FILE* stream);

}  // namespace lumra::sys
