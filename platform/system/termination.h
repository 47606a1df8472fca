// Termination signals (SIGINT, SIGTERM, SIGHUP here): the program learns of them by polling, and
// a guarded folder goes even when the program cannot answer in time. Part of the system interface
// (platform/system/*.h), implemented once per operating system (platform/posix/termination.cpp).
//
// The contract:
// 1. Call catch_termination_signals() once at start, before the window opens. A signal that was
//    ignored when the program started (nohup, a shell's background job) stays ignored. The SDL2
//    backend installs its own SIGINT/SIGTERM handlers only where none is installed, so it then
//    leaves these signals to this service (installed later, this service replaces SDL's; either
//    way no close request comes from a signal); the program's loops poll termination_signal().
// 2. When a signal arrives, it is only recorded: termination_signal() gives its number from then
//    on. The program notices it in its loops (the splash loop, the file dialog's poll) and in
//    long work (the archive command's progress callback answers 0, which aborts the unpack), cleans
//    up as usual (remove_unpack_folder in platform/system/temp.h), and ends with
//    end_by_termination_signal(), so its parent sees it die of that signal.
// 3. The fallback: if the program has not ended `grace_seconds` after the first signal, or a
//    second termination signal arrives first, the handler itself removes the guarded folder (the
//    unpack folder made by make_unpack_folder, which guards it; links never followed) and ends
//    the process by the first signal. Nothing else is cleaned up then: the fallback is for a
//    program stuck in a call that does not return.
#pragma once

#include "platform/system/fs.h"

namespace lumra::sys {

inline constexpr unsigned kDefaultTerminationGraceSeconds = 3;

// Installs the handlers (and one for the grace timer). false when the system refused; calling it
// again changes only the grace period.
bool catch_termination_signals(unsigned grace_seconds = kDefaultTerminationGraceSeconds);

// The first termination signal that arrived, 0 while none has. Cheap and safe anywhere, even in a
// signal handler.
int termination_signal();

// Ends the process as `signal` ends it by default, after the program's own clean-up (exit status
// 128 + signal should the signal not end it). Guarded folders are not touched.
[[noreturn]] void end_by_termination_signal(int signal);

// The folder the fallback removes: `name` inside the open folder `parent`; one at a time (a new
// one replaces the old). The descriptor is duplicated. make_unpack_folder and remove_unpack_folder
// call these; a program rarely needs them itself.
bool guard_folder(Descriptor parent, const char* name);
void unguard_folder();

// Puts back the handlers found by catch_termination_signals, stops the grace timer and forgets
// any signal received (for tests that install and remove the service).
void release_termination_signals();

}  // namespace lumra::sys
