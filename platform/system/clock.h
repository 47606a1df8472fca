// The operating system's time services: a monotonic millisecond clock, a plain sleep, and the
// local calendar.
// Part of the system interface (platform/system/*.h), implemented once per operating system
// (platform/posix/ here); the window backends' own ticks are in platform/platform.h.
#pragma once

#include <cstdint>
#include <ctime>

namespace lumra::sys {

// Milliseconds of a monotonic clock from an arbitrary start; never goes backwards.
uint64_t monotonic_ms();
// Sleeps at least ms milliseconds; a signal does not cut it short.
void sleep_ms(uint32_t ms);
// The local calendar fields of a moment given in seconds since 1970-01-01 00:00 UTC, by the
// system's time-zone rules; false when the moment has no calendar form there.
bool local_time(int64_t seconds, std::tm* out);

}  // namespace lumra::sys
