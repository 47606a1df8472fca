// The process launcher: starts another program and either returns at once (the caller may keep
// the process id and ask later whether it still runs) or waits for it to end. A waiting launch
// with an output function captures the program's console output line by line, forwards the
// user's keys to its input with an echo in the output, and can stop it politely with a break
// whose prompts it answers. Runs on the caller's thread; the output function and the key poll
// are called from inside the wait.
#pragma once

#include <cstdint>

namespace lumra::process {

// Kinds of the output function's calls.
inline constexpr int32_t kIdleCall = 0;         // no line (text is null), once per pass of the wait
inline constexpr int32_t kOutputLine = 1;       // a complete line of standard output
inline constexpr int32_t kOverwrittenLine = 2;  // a standard output line a carriage return ended
                                                // and the next printable character overwrites
inline constexpr int32_t kErrorLine = 3;        // a complete line of standard error
inline constexpr int32_t kPartialLine = 4;      // the incomplete end of a standard output line

// The answer that asks to stop (the Escape key's code): from a line call the wait is aborted at
// once; from the idle call a break is sent to the program.
inline constexpr int32_t kStopAnswer = 27;

// Called as function(text, data, kind); text is null for the idle call and otherwise a line of
// at most 511 bytes (as the program wrote them, control characters left out), valid during the
// call only.
using OutputFunction = int32_t (*)(const char* text, void* data, int32_t kind);

// Starts `program`: a path, or a bare name found along the search path when no file of that name
// can be opened. `arguments` (may be null) is one argument text, split into arguments by the
// Windows command-line rules (platform/system/process.h), so quoted paths arrive whole. The show
// mode is accepted for callers written for window systems that have one and is otherwise unused.
// `process_id` (may be null) receives the new process's id.
//
// Without `wait`: 1 started, 0 not started. With `wait`: 1 the program ended (whatever its exit
// code); 0 it could not be started, the wait failed, it was abandoned 10 seconds after a break, or
// the wait was aborted (Escape without an output function, kStopAnswer from a line call). After
// an abort with terminate_on_abort set the program is killed; otherwise, and after an abandon, it
// keeps running. A program is never signalled when the launcher returns, and one left running is
// reaped without blocking once it ends (see platform/system/process.h), so it does not linger.
// With an output function the program leads a process group of its own, waiting or not.
int32_t launch(const char* program, const char* arguments, int32_t show_mode, int32_t terminate_on_abort,
               OutputFunction output, void* data, int32_t wait, uint32_t* process_id);

// 1 while the process exists and has not ended, 0 otherwise (also for an id that never was).
int32_t still_running(uint32_t process_id);

}  // namespace lumra::process
