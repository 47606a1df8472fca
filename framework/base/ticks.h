// Millisecond ticks of a monotonic clock as a wrapping 32-bit count, for the foundation's own
// timing (heap compaction). Tests can replace the source to step time by hand.
#pragma once

#include <cstdint>

namespace lumra::base {

using TickSource = uint32_t (*)();

uint32_t ticks_ms();
// Null restores the monotonic clock.
void set_tick_source(TickSource source);

}  // namespace lumra::base
