// The launch context shared by the launcher and its watch loop: one per launch, on the launcher's
// stack, its owners closing every pipe end and handing a child not known to have ended to the
// system's reaper (platform/system/process.h) on every way out.
#pragma once

#include <cstdint>

#include "framework/base/owned.h"
#include "framework/process/launcher.h"
#include "framework/process/pipe_lines.h"
#include "platform/system/process.h"

namespace lumra::process {

struct PipeRecord {
  PipeLines lines;
  base::OwnedDescriptor read_end;
  base::OwnedDescriptor write_end;
  bool ended;  // the read end has given everything it ever will
};

// A child of this process that nobody waits for once its owner goes.
using OwnedChild = base::Owned<uint32_t, sys::release_child>;

struct LaunchContext {
  PipeRecord output;   // read end: the program's standard output; write end: the echo
  PipeRecord error;    // read end: its standard error
  PipeRecord input;    // write end: its standard input
  OwnedChild process;  // empty once the program is known to have ended
  uint32_t process_id;
  bool break_sent;
  uint32_t break_time;       // clock when the break was sent
  int32_t last_answer_step;  // answer steps are whole seconds since the break, halved
  OutputFunction function;
  void* data;
  int32_t held_event;  // a window event the wait took from the key poll, given back after it
};

// Waits for the launched program as the launcher's wait flag asks; the launcher's result.
int32_t watch(LaunchContext* c, bool terminate_on_abort);

}  // namespace lumra::process
