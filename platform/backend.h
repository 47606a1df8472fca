// What a backend supplies to the platform core, and the core's "send" functions through which a
// backend hands over translated events. Included by backends only; the framework uses platform.h.
// Backends translate and never decide policy: key meaning, queues and latches belong to the core.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace lumra::platform {

struct Backend {
  const char* name;
  int (*start)();  // called once by use_backend; 1 or 0
  void (*stop)();  // frees everything and returns to the state before start
  int (*display_count)();
  int (*display_bounds)(int index, Rect* out);
  int (*open_window)(const WindowSpec& spec);
  bool (*window_open)();
  int (*window_info)(WindowInfo* out);
  int (*present)(const PixelView& source, Rect area);
  int (*set_cursor)(Cursor shape);
  int (*warp_pointer)(int32_t x, int32_t y);
  int (*message_box)(const char* caption, const char* text);
  // Translates the native events already waiting, without blocking, while message_room() allows.
  void (*collect)();
  // Blocks until a native event has been translated or timeout_ms pass. False when nothing can
  // arrive at all (then the core does not wait forever).
  bool (*wait)(uint32_t timeout_ms);
  uint32_t (*ticks)();
};

// Queues a message for the window procedure; false when the queue is full. Paint messages merge
// with a paint that is still queued.
bool send(const Message& message);
// Splits UTF-8 text into one kChar (or kSysChar) message per character; a malformed byte becomes
// U+FFFD. False when the queue could not take it all.
bool send_text(const char* utf8, bool system);
// Free message slots; a backend stops taking native events while fewer than kSendReserve remain,
// so that none is lost half-translated.
int message_room();
inline constexpr int kSendReserve = 40;

// Monotonic milliseconds since boot, wrapping at 32 bits (the tick of a real backend).
uint32_t monotonic_ms();

}  // namespace lumra::platform
