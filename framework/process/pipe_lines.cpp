// Line assembly for the launcher's pipes, one byte at a time.
#include "framework/process/pipe_lines.h"

#include <cstring>

#include "framework/input/clock.h"
#include "framework/process/launcher.h"

namespace lumra::process {
namespace {

constexpr int32_t kPartialPause = input::kTicksPerSecond / 4;

void restart(PipeLines* p) {
  p->length = 0;
  p->line[0] = '\0';
}

bool hand_out(PipeLines* p, int32_t kind, uint32_t now, LineHandler handler, void* data) {
  p->last_handout = now;
  p->handed_out = true;
  const bool go_on = handler(p->line, kind, data);
  if (kind != kPartialLine) restart(p);
  return go_on;
}

int32_t complete_kind(const PipeLines* p) { return p->stream == Stream::kOutput ? kOutputLine : kErrorLine; }

}  // namespace

void pipe_lines_start(PipeLines* p, Stream stream) {
  *p = PipeLines{};
  p->stream = stream;
}

bool take_byte(PipeLines* p, uint8_t byte, uint32_t now, LineHandler handler, void* data) {
  if (byte == '\n') {
    p->carriage_return = false;
    return hand_out(p, complete_kind(p), now, handler, data);
  }
  if (byte == '\r') {
    p->carriage_return = true;
    return true;
  }
  if (byte < 32) return true;
  if (p->carriage_return) {
    p->carriage_return = false;
    if (p->stream == Stream::kError) {
      restart(p);
    } else if (p->length > 0 && !hand_out(p, kOverwrittenLine, now, handler, data)) {
      return false;
    }
  }
  if (p->length == kLongestLine && !hand_out(p, complete_kind(p), now, handler, data)) return false;
  p->line[p->length++] = static_cast<char>(byte);
  p->line[p->length] = '\0';
  return true;
}

bool no_more_bytes(PipeLines* p, uint32_t now, LineHandler handler, void* data) {
  if (p->stream != Stream::kOutput || p->length == 0) return true;
  if (std::strcmp(p->line, p->last_partial) == 0) return true;
  if (p->handed_out && static_cast<int32_t>(now - p->last_handout) <= kPartialPause) return true;
  std::memcpy(p->last_partial, p->line, static_cast<size_t>(p->length) + 1);
  return hand_out(p, kPartialLine, now, handler, data);
}

bool last_bytes_read(PipeLines* p, uint32_t now, LineHandler handler, void* data) {
  if (p->length == 0) return true;
  if (p->stream == Stream::kError) return hand_out(p, kErrorLine, now, handler, data);
  if (std::strcmp(p->line, p->last_partial) == 0) return true;
  std::memcpy(p->last_partial, p->line, static_cast<size_t>(p->length) + 1);
  return hand_out(p, kPartialLine, now, handler, data);
}

}  // namespace lumra::process
