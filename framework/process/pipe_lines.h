// Console output assembled into the lines the launcher hands out: line feeds end lines, a
// carriage return followed by a printable character marks an overwritten line (standard output)
// or restarts the line (standard error), other control characters are left out, and a line that
// has reached 511 characters is handed out as one piece when the next character comes, which then
// starts the following piece. The incomplete end of a standard output line is handed out when no
// more bytes wait and a quarter second has passed since the last line, never twice in a row.
#pragma once

#include <cstdint>

namespace lumra::process {

inline constexpr int32_t kLineBuffer = 512;
inline constexpr int32_t kLongestLine = kLineBuffer - 1;

// Takes each line handed out, with its kind (launcher.h); false stops the reading at once.
using LineHandler = bool (*)(const char* text, int32_t kind, void* data);

enum class Stream : uint8_t {
  kOutput,  // kinds kOutputLine, kOverwrittenLine, kPartialLine
  kError,   // kind kErrorLine
};

struct PipeLines {
  Stream stream;
  char line[kLineBuffer];  // the line being assembled, zero-terminated
  int32_t length;
  bool carriage_return;            // one came, and no printable character since
  char last_partial[kLineBuffer];  // the last incomplete line handed out
  uint32_t last_handout;           // clock of the last line handed out
  bool handed_out;                 // whether there was one
};

void pipe_lines_start(PipeLines* p, Stream stream);

// The next byte the pipe gave. False when the handler stopped the reading.
bool take_byte(PipeLines* p, uint8_t byte, uint32_t now, LineHandler handler, void* data);

// No more bytes wait in the pipe now: the incomplete standard output line goes out, as above.
bool no_more_bytes(PipeLines* p, uint32_t now, LineHandler handler, void* data);

// The program has ended and its last bytes are read: what is left of the line goes out, without
// waiting for its quarter second (standard output, unless it went out already) or its line feed.
bool last_bytes_read(PipeLines* p, uint32_t now, LineHandler handler, void* data);

}  // namespace lumra::process
