// Macro logs: recording readings as lines appended one at a time, and playback that reads one
// record ahead and delivers each when its time has come.
#include "framework/input/macro_log.h"

#include <cstdint>
#include <cstring>

#include "framework/base/owned.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "framework/input/macro_notifier.h"
#include "framework/input/mouse.h"

namespace lumra::input {
namespace {

bool same_mouse(const MacroReading& a, int32_t x, int32_t y, int32_t buttons) {
  return a.x == x && a.y == y && a.buttons == buttons;
}

// Appends the current reading. The first record after arming creates the log and starts its
// time; while the log cannot be created, each record tries again and is otherwise lost.
void append_record() {
  MacroLog& m = g_input.macro;
  const uint32_t now = read_clock();
  base::OwnedFile file(std::fopen(m.name, m.first ? "wb" : "ab"));
  if (!file) return;
  if (m.first) {
    m.first = false;
    m.start = now;
  }
  char line[96];
  const size_t n = format_log_record(line, sizeof line, static_cast<int32_t>(now - m.start), m.current);
  std::fwrite(line, 1, n, file.get());
  file.close();
}

void record(int32_t* x, int32_t* y, int32_t* buttons, int32_t* key) {
  MacroLog& m = g_input.macro;
  if (key) {
    if (*key == m.current.key) return;
    m.current.key = *key;
  } else {
    if (same_mouse(m.current, *x, *y, *buttons)) return;
    m.current.x = *x;
    m.current.y = *y;
    m.current.buttons = *buttons;
  }
  append_record();
}

// The record read ahead becomes current, and the next one is read ahead. At the end of the log
// the stop is requested; the record that just became current is still played.
void advance() {
  MacroLog& m = g_input.macro;
  m.current = m.next;
  // Playback waits at a record with a key until a waiting key poll has taken that key.
  m.key_held = m.current.key != 0;
  char line[kLogLineMax];
  const size_t n = read_log_line(m.file, line);
  if (n == 0) {
    m.state = kLogStopRequested;
    return;
  }
  int32_t time = 0;
  MacroReading next{};
  if (!parse_log_record(line, n, &time, &next)) return;
  m.next_time = time;
  m.next = next;
}

void step() {
  MacroLog& m = g_input.macro;
  if (m.state != kLogPlaying) return;
  const auto now = static_cast<int32_t>(read_clock() - m.start);
  if (now >= m.next_time && !m.key_held) advance();
}

void play(int32_t* x, int32_t* y, int32_t* buttons, int32_t* key, int32_t mode) {
  MacroLog& m = g_input.macro;
  if (m.first) {
    m.file = std::fopen(m.name, "rb");
    if (!m.file) {
      m.state = kLogStopRequested;
      return;
    }
    m.start = read_clock();
    m.next_time = 0;
    m.next = MacroReading{};
    m.key_held = false;
    m.first = false;
    m.primed = true;
  }
  step();
  if (m.primed) {
    // Once more, so that the first record is current without waiting for another poll.
    m.primed = false;
    step();
  }
  if (key) {
    *key = m.current.key;
    // A waiting poll takes the key: it is delivered once, and playback may go on.
    if (mode == 0) {
      m.current.key = 0;
      m.key_held = false;
    }
    return;
  }
  *x = m.current.x;
  *y = m.current.y;
  *buttons = m.current.buttons;
  set_pointer_position(m.current.x, m.current.y);
}

void stop() {
  MacroLog& m = g_input.macro;
  notify_macro(kMacroEnded, 0, 0);
  if (m.file) std::fclose(m.file);
  m.file = nullptr;
  m.state = kLogOff;
  m.first = false;
  m.primed = false;
  m.key_held = false;
}

// Decimal with an optional sign after leading blanks, saturating at the 32-bit range.
int32_t decimal(const char* p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  int64_t value = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

// Cuts the next field off `*p`: leading delimiters skipped, then up to the next delimiter (which
// is consumed) or the end. False when nothing is left.
bool field(const char** p, const char* end, const char* delimiters, const char** start, const char** stop) {
  const char* q = *p;
  while (q < end && std::strchr(delimiters, *q)) ++q;
  if (q == end) return false;
  *start = q;
  while (q < end && !std::strchr(delimiters, *q)) ++q;
  *stop = q;
  *p = q < end ? q + 1 : q;
  return true;
}

}  // namespace

void macro_hook(int32_t* x, int32_t* y, int32_t* buttons, int32_t* key, int32_t mode) {
  const bool mouse = x && y && buttons;
  if (!mouse && !key) return;
  switch (g_input.macro.state) {
    case kLogRecording: record(x, y, buttons, key); break;
    case kLogPlaying: play(x, y, buttons, key, mode); break;
    case kLogStopRequested: stop(); break;
    default: break;
  }
}

int macro_log_arm(int32_t mode, int32_t digit) {
  if (mode != kLogRecording && mode != kLogPlaying) return 0;
  if (digit < '0' || digit > '9' || macro_log_active()) return 0;
  MacroLog& m = g_input.macro;
  std::snprintf(m.name, sizeof m.name, "lumra_macro_%c.log", static_cast<char>(digit));
  m.first = true;
  m.primed = false;
  m.key_held = false;
  m.state = mode;
  return 1;
}

void macro_log_request_stop() {
  if (macro_log_active()) g_input.macro.state = kLogStopRequested;
}

int32_t macro_log_state() { return g_input.macro.state; }

bool macro_log_active() { return g_input.macro.state != kLogOff; }

size_t format_log_record(char* out, size_t size, int32_t elapsed, const MacroReading& r) {
  const char shown = r.key < 32 ? '-' : static_cast<char>(r.key & 0xFF);
  const int n = std::snprintf(out, size, "%08d %04d;%04d %01d %05d (%c %04x)\r\n", elapsed, r.x, r.y, r.buttons, r.key,
                              shown, static_cast<unsigned>(r.key));
  return n > 0 && static_cast<size_t>(n) < size ? static_cast<size_t>(n) : 0;
}

bool parse_log_record(const char* line, size_t length, int32_t* time, MacroReading* reading) {
  const char* end = static_cast<const char*>(std::memchr(line, '\0', length));
  if (!end) end = line + length;
  // The line end stops the last field like a blank; a line feed or carriage return never starts one.
  const char* p = line;
  const char* s[5];
  const char* e[5];
  if (!field(&p, end, " \r\n", &s[0], &e[0])) return false;
  if (!field(&p, end, ";\r\n", &s[1], &e[1])) return false;
  for (int i = 2; i < 5; ++i) {
    if (!field(&p, end, " \r\n", &s[i], &e[i])) return false;
  }
  *time = decimal(s[0], e[0]);
  reading->x = decimal(s[1], e[1]);
  reading->y = decimal(s[2], e[2]);
  reading->buttons = decimal(s[3], e[3]);
  reading->key = decimal(s[4], e[4]);
  return true;
}

size_t read_log_line(std::FILE* file, char* out) {
  size_t n = 0;
  while (n < kLogLineMax) {
    const int c = std::getc(file);
    if (c == EOF) break;
    out[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return n;
}

}  // namespace lumra::input
