// POSIX clock: CLOCK_MONOTONIC, nanosleep and localtime_r.
#include "platform/system/clock.h"

#include <time.h>

namespace lumra::sys {

uint64_t monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void sleep_ms(uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

bool local_time(int64_t seconds, std::tm* out) {
  const time_t t = static_cast<time_t>(seconds);
  return localtime_r(&t, out) != nullptr;
}

}  // namespace lumra::sys
