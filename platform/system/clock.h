// The operating system's time services: a monotonic millisecond clock and a plain sleep.
// Part of the system interface (platform/system/*.h), implemented once per operating system
// (platform/posix/ here); the window backends' own ticks are in platform/platform.h.
#pragma once

#include <cstdint>

namespace lumra::sys {

// Milliseconds of a monotonic clock from an arbitrary start; never goes backwards.
uint64_t monotonic_ms();
// Sleeps at least ms milliseconds; a signal does not cut it short.
void sleep_ms(uint32_t ms);

}  // namespace lumra::sys
