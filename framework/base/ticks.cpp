// The foundation's ticks: the system's monotonic clock cut to a wrapping 32-bit count.
#include "framework/base/ticks.h"

#include "platform/system/clock.h"

namespace lumra::base {
namespace {

uint32_t monotonic_ms() { return static_cast<uint32_t>(sys::monotonic_ms()); }

TickSource g_source = monotonic_ms;

}  // namespace

uint32_t ticks_ms() { return g_source(); }

void set_tick_source(TickSource source) { g_source = source ? source : monotonic_ms; }

}  // namespace lumra::base
