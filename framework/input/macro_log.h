// Macro logs: everything the program reads from the mouse and the keyboard, recorded into a
// numbered text file and played back later with its timing in place of the real input. Every
// mouse poll and key poll passes its reading through macro_hook; the key poll arms a log
// (Shift+Page Down or Shift+Page Up, then a digit) and requests its stop.
//
// A log is text, one record per line, written as
//   "%08d %04d;%04d %01d %05d (%c %04x)\r\n"
// ms since the first record, x, y, mouse buttons, key code, and for reading only the key as a
// character ('-' below 32, else the code's low byte, which may be a NUL byte) and in hexadecimal.
// Playback reads numbers, not columns, and at most kLogLineMax characters of a line at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace lumra::input {

inline constexpr int32_t kLogOff = 0;
inline constexpr int32_t kLogRecording = 1;
inline constexpr int32_t kLogPlaying = 2;
inline constexpr int32_t kLogStopRequested = 3;

// Characters of a log line read at once; the rest of a longer line is read as the next record.
inline constexpr size_t kLogLineMax = 78;
// "lumra_macro_%c.log": a relative name, so the log lies in the current folder.
inline constexpr size_t kLogNameSize = 20;

struct MacroReading {
  int32_t x;
  int32_t y;
  int32_t buttons;
  int32_t key;
};

struct MacroLog {
  int32_t state;           // kLog*
  std::FILE* file;         // open only while a log plays, or for the moment of one append
  MacroReading current;    // the last reading recorded, or the one being played
  MacroReading next;       // playback: the record read ahead
  uint32_t start;          // clock at the first record, or when playback began
  int32_t next_time;       // playback: the time of the record read ahead
  bool key_held;           // playback: the current record's key waits for a waiting key poll
  bool first;              // armed, and the log not yet created (recording) or opened (playback)
  bool primed;             // playback: the file was just opened
  char name[kLogNameSize];
};

// Mouse polls pass x, y and buttons and no key; key polls only the key and their mode (0 wait,
// 1 peek). Off: nothing happens. Recording: a reading that differs from the current one becomes
// current and is appended as one record, on disk when the hook returns (a record whose file
// cannot be opened is lost; recording goes on). Playing: the readings are replaced by the played
// ones and a mouse reading also moves the pointer there. Stop requested: the notifier hears
// (0, 0, 0), the file is closed and the log is off.
void macro_hook(int32_t* x, int32_t* y, int32_t* buttons, int32_t* key, int32_t mode);

// Arms a log in mode kLogRecording or kLogPlaying for the digit '0'..'9'. 0 (nothing armed)
// for another mode or digit, or while a log is active.
int macro_log_arm(int32_t mode, int32_t digit);
// The next hook call stops the log.
void macro_log_request_stop();
int32_t macro_log_state();
// Recording, playing or stopping.
bool macro_log_active();

// One record as a log line ("\r\n" included) into `out`; the length written (the character field
// may be a NUL byte, so the line is not a C string), or 0 when `size` is too small.
size_t format_log_record(char* out, size_t size, int32_t elapsed, const MacroReading& reading);
// The fields of a line (at most `length` bytes, ending at a NUL byte if one comes first): the time
// up to a space, x up to ';', then y, buttons and key each up to a space or the line's end; the
// rest is ignored. Numbers are read as decimal, saturating at the 32-bit range. False when a field
// is missing.
bool parse_log_record(const char* line, size_t length, int32_t* time, MacroReading* reading);
// Reads up to kLogLineMax characters, through the first line feed; the count read, 0 at the end.
size_t read_log_line(std::FILE* file, char* out);

}  // namespace lumra::input
