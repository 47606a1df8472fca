// The last failure reason, one per thread, in fixed storage so that recording it cannot fail.
#include "framework/base/error.h"

#include "framework/base/shown_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace lumra::base {
namespace {

// Fixed storage: recording a failure must not itself allocate.
thread_local char g_reason[512];
thread_local char g_formatted[512];

// Reasons quote names from outside (archive members, files): they are kept in their shown form,
// so that printing a reason can never send a terminal control sequence.
void keep(const char* reason) { shown_text_into(reason, g_reason, sizeof g_reason); }

}  // namespace

Failure fail(const char* reason) {
  keep(reason ? reason : "");
  return {};
}

Failure failf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(g_formatted, sizeof g_formatted, format, args);
  va_end(args);
  keep(g_formatted);
  return {};
}

const char* last_error() { return g_reason; }

void clear_error() { g_reason[0] = '\0'; }

}  // namespace lumra::base
