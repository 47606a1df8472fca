// The last failure reason, one per thread, in fixed storage so that recording it cannot fail.
#include "framework/base/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace lumra::base {
namespace {

// Fixed storage: recording a failure must not itself allocate.
thread_local char g_reason[512];

}  // namespace

Failure fail(const char* reason) {
  std::snprintf(g_reason, sizeof g_reason, "%s", reason ? reason : "");
  return {};
}

Failure failf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(g_reason, sizeof g_reason, format, args);
  va_end(args);
  return {};
}

const char* last_error() { return g_reason; }

void clear_error() { g_reason[0] = '\0'; }

}  // namespace lumra::base
