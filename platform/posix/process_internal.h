// Shared between the POSIX process files: the bookkeeping of children that spawn starts and
// wait_child, release_child and still_running reap.
#pragma once

#include <sys/types.h>

namespace lumra::sys::children {

// Every released child that has ended is reaped, without blocking.
void reap_released();
// A new child has this id: whatever was remembered about an earlier process with it is dropped.
void note_started(pid_t id);

}  // namespace lumra::sys::children
