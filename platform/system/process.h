// This program's process as the system knows it. Part of the system interface
// (platform/system/*.h), implemented once per operating system; launching and watching other
// programs belongs here too.
#pragma once

#include <cstdint>

namespace lumra::sys {

// The system's number for this process: no other process running now has it.
uint32_t process_id();

}  // namespace lumra::sys
