// Macro log reading on hostile bytes: every line the reader cuts is parsed, and whatever parses
// must survive being written back as a record and read again unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "framework/input/macro_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::input;
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  char line[kLogLineMax];
  for (size_t n = 0; (n = read_log_line(file, line)) != 0;) {
    if (n > kLogLineMax) std::abort();
    int32_t time = 0;
    MacroReading r{};
    if (!parse_log_record(line, n, &time, &r)) continue;
    char out[96];
    const size_t written = format_log_record(out, sizeof out, time, r);
    int32_t time_again = 0;
    MacroReading again{};
    if (!written || !parse_log_record(out, written, &time_again, &again)) std::abort();
    if (time_again != time || again.x != r.x || again.y != r.y || again.buttons != r.buttons || again.key != r.key) {
      std::abort();
    }
  }
  std::fclose(file);
  return 0;
}
