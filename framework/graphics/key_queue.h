// The key queue: a ring of 256 input codes filled by the window procedure and read by the key
// poll, with the modifier state and the character to drop. It holds at most 255 unread codes;
// a code arriving when it is full is dropped (the newest goes, unread codes are never overwritten).
#pragma once

#include <cstdint>

namespace lumra::graphics {

inline constexpr uint32_t kKeyQueueSize = 256;

struct KeyQueue {
  int32_t codes[kKeyQueueSize];
  uint32_t write;      // next slot to fill
  uint32_t read;       // next slot to read; equal to write: empty
  uint32_t modifiers;  // platform::kMod* bits
  uint32_t drop;       // 0 or a control character (1..26): its next character message is not queued
  uint32_t dropped;    // codes lost to a full queue, for diagnostics
};

// The common queuing step: a code below 256 is a Windows character and is converted to OEM first.
// 0 when the queue was full and the code was dropped.
int queue_code(int32_t code);

// True when the ring holds an unread code (nothing is dispatched to find out).
bool input_waiting();

// The reader. Mode 0 waits for a code and takes it (0 only when no message can ever arrive, such
// as with no window). Mode 1 peeks: the waiting code, or 0 after dispatching at most one message.
// Mode 2 dispatches at most one message and returns the modifier state. Other modes: 0.
int32_t read_input(int32_t mode);

// Dispatches waiting messages until none is left or 256 have been handled; returns 1. The window
// registers it as a periodic callback, so the argument is unused.
int32_t pump_messages(intptr_t unused = 0);

}  // namespace lumra::graphics
