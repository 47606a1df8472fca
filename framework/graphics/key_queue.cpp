// The key queue ring and its reader over the platform's message queue.
#include "framework/graphics/key_queue.h"

#include "framework/graphics/graphics.h"
#include "framework/text/oem.h"
#include "platform/platform.h"

namespace lumra::graphics {
namespace {

constexpr int kPumpLimit = 256;

bool queue_empty() { return g_graphics.keys.read == g_graphics.keys.write; }

}  // namespace

int queue_code(int32_t code) {
  KeyQueue& q = g_graphics.keys;
  if (code >= 0 && code < 256) code = text::windows_char_to_oem(static_cast<uint8_t>(code));
  const uint32_t next = (q.write + 1) % kKeyQueueSize;
  if (next == q.read) {
    ++q.dropped;
    return 0;
  }
  q.codes[q.write] = code;
  q.write = next;
  return 1;
}

bool input_waiting() { return !queue_empty(); }

int32_t read_input(int32_t mode) {
  KeyQueue& q = g_graphics.keys;
  switch (mode) {
    case 0: {
      while (queue_empty()) {
        if (!platform::wait_message(platform::kWaitForever)) return 0;
        platform::dispatch_one();
      }
      const int32_t code = q.codes[q.read];
      q.read = (q.read + 1) % kKeyQueueSize;
      return code;
    }
    case 1:
      if (queue_empty()) {
        platform::dispatch_one();
        return 0;
      }
      return q.codes[q.read];
    case 2: platform::dispatch_one(); return static_cast<int32_t>(q.modifiers);
    default: return 0;
  }
}

int32_t pump_messages(intptr_t) {
  for (int handled = 0; handled < kPumpLimit && platform::dispatch_one(); ++handled) {
  }
  return 1;
}

}  // namespace lumra::graphics
