// Processes as the framework runs them: this program's own id, the program a name stands for,
// starting a program with its standard streams as pipes, reading and writing those pipes without
// blocking, the signals a launcher sends, and whether a process still runs. Part of the system
// interface (platform/system/*.h), implemented once per operating system (platform/posix/ here).
//
// Who reaps a child: a child started by spawn belongs to this process until wait_child reports
// its end or release_child gives it up. A released child keeps running; once it has ended it is
// reaped without blocking by the next spawn, wait_child or still_running call (of any id), so it
// never lingers as a zombie beyond that. Nothing here signals or kills a child on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/fs.h"
#include "platform/system/status.h"

namespace lumra::sys {

// The system's number for this process: no other process running now has it.
uint32_t process_id();
// How many processor cores this process may run on (its affinity, which `taskset` or a container
// narrows), at least 1.
unsigned usable_cores();

// An argument text split into arguments by the rules Windows programs apply to their command
// lines, so that a caller's quoted paths arrive as single arguments without their quotes:
// - blanks and tabs separate arguments; any number of them, leading or trailing, make none;
// - a double quote starts or ends a quoted part, in which blanks and tabs are kept; the quotes
//   themselves are dropped, and a quoted part may sit inside an argument (a"b c"d gives ab cd);
//   "" alone gives an empty argument; a quoted part left open runs to the end of the text;
// - inside a quoted part, two double quotes in a row give one literal double quote and the
//   quoted part goes on;
// - backslashes are literal unless a double quote follows them: 2n backslashes and a double
//   quote give n backslashes and the quote acts as above; 2n + 1 backslashes and a double quote
//   give n backslashes and a literal double quote.
// Null or empty text gives no arguments.
std::vector<std::string> split_arguments(const char* text);

// One argument written by those rules so that split_arguments gives it back unchanged: as it is
// when it holds no blank, tab or double quote and is not empty, otherwise in double quotes with
// the backslashes before a quote (or before the closing quote) doubled and its quotes escaped.
std::string quote_argument(const std::string& argument);

// The file to start for a program name: the name as it is when it names a regular file that can
// be opened for reading; otherwise, for a name without "/", the first executable regular file of
// that name in the folders of $PATH (the system's default folders when $PATH is unset). Fails
// (is_missing) when neither finds one.
Status find_program(const char* name, std::string* out);

// The parent's ends of a captured child's standard streams; kNoDescriptor where there is none.
// Every one is close-on-exec, and the readers never block (read_waiting).
struct ChildStreams {
  Descriptor input = kNoDescriptor;          // what is written here reaches the child's input
  Descriptor output = kNoDescriptor;         // the child's standard output
  Descriptor output_writer = kNoDescriptor;  // a second writer into that same pipe, so that the
                                             // parent can mix its own bytes into what it reads
  Descriptor error = kNoDescriptor;          // the child's standard error
};

struct SpawnOptions {
  bool capture = false;    // the child's standard streams become pipes to this process
  bool own_group = false;  // the child leads a process group of its own (interrupt_group)
};

// Starts the file at `path` (taken as it is: see find_program) with arguments[0] as the name it
// is given and the rest as its arguments; it inherits the environment and the current folder.
// The child inherits no descriptor beyond its standard three, starts with no signal blocked and
// with SIGINT, SIGQUIT and SIGPIPE at their defaults whatever this process does with them. On
// success *id is its process id and, with capture, *streams holds the parent's ends (the caller
// closes them); on failure (a file that cannot be run among them) nothing is left open or
// running, *id is 0 and *streams is empty.
Status spawn(const char* path, const std::vector<std::string>& arguments, const SpawnOptions& options,
             uint32_t* id, ChildStreams* streams);

enum class ChildState : uint8_t {
  kRunning,
  kEnded,    // ended and reaped
  kUnknown,  // not a child of this process, or reaped already by someone else
};

// Waits up to timeout_ms (0: only looks) for a child of this process to end, and reaps it when it
// has. The wait is a plain sleep: nothing else is serviced meanwhile. When this call reaps the
// child and exit_code is given, *exit_code is the code it exited with, or -1 when a signal ended
// it; a child reaped before (kEnded from memory) leaves *exit_code untouched.
ChildState wait_child(uint32_t id, uint32_t timeout_ms, int* exit_code = nullptr);

// Gives up waiting for a child: see the top of this file.
void release_child(uint32_t id);

// True while the process exists and has not ended. A child of this process that has ended is
// reaped here, without blocking, and answers false from then on; for any other id the process
// must exist and not be a zombie. 0 and ids the system never gives out answer false.
bool still_running(uint32_t id);

// Signals reach only a child of this process that is still running (not yet reaped), so that
// they can never hit an unrelated process that has been given a reaped child's id; any other id
// fails (ESRCH).
// SIGINT to the process group the child leads (spawned with own_group): the child and whatever
// it started in its group.
Status interrupt_group(uint32_t id);
// Ends the child at once (SIGKILL); it still has to be reaped (wait_child or release_child).
Status kill_process(uint32_t id);

// Reads what a pipe holds without blocking: *got is 0 when nothing waits, and *ended turns true
// once every writer has closed and the pipe is empty.
Status read_waiting(Descriptor d, void* out, size_t size, size_t* got, bool* ended);

// Writes as much as fits into a pipe now, without blocking (*written may be less than size). A
// pipe whose reader has gone fails without raising a signal in this process.
Status write_waiting(Descriptor d, const void* data, size_t size, size_t* written);

// Waits up to timeout_ms until one of the pipes has bytes to read or has ended; entries that are
// kNoDescriptor are skipped. True when one is ready.
bool wait_readable(const Descriptor* pipes, size_t count, uint32_t timeout_ms);

}  // namespace lumra::sys
