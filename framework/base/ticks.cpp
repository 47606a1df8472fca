#include "framework/base/ticks.h"

#include <ctime>

namespace lumra::base {
namespace {

uint32_t monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

TickSource g_source = monotonic_ms;

}  // namespace

uint32_t ticks_ms() { return g_source(); }

void set_tick_source(TickSource source) { g_source = source ? source : monotonic_ms; }

}  // namespace lumra::base
