// The platform core: backend choice, the message queue with its dispatch and waits, one-shot
// timers, and the fallbacks that apply while no backend is chosen. Single-threaded; the window
// procedure may dispatch again from inside a dispatch (a message is taken off before it runs).
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>

#include "framework/base/error.h"
#include "platform/backend.h"
#include "platform/system/clock.h"

namespace lumra::platform {
namespace {

using base::fail;

constexpr int kQueueSize = 1024;
constexpr int kTimerCount = 8;

struct Timer {
  int32_t id;
  uint32_t due;
  bool active;
};

struct PlatformState {
  const Backend* backend;  // null: none chosen
  WindowProcedure procedure;
  Message queue[kQueueSize];
  int head;  // oldest queued message
  int count;
  Timer timers[kTimerCount];
};

PlatformState g_platform{};

void collect() {
  if (g_platform.backend) g_platform.backend->collect();
}

// Queues a kTimer message for every timer that is due; each fires once.
void fire_due_timers() {
  bool any = false;
  for (const Timer& t : g_platform.timers) any = any || t.active;
  if (!any) return;
  const uint32_t now = ticks();
  for (Timer& t : g_platform.timers) {
    if (!t.active || static_cast<int32_t>(now - t.due) < 0) continue;
    if (!send(Message{MessageKind::kTimer, t.id, 0, 0, 0})) return;
    t.active = false;
  }
}

// Milliseconds until the earliest timer is due (0 when one is due), or kWaitForever.
uint32_t next_timer_in() {
  uint32_t best = kWaitForever;
  const uint32_t now = ticks();
  for (const Timer& t : g_platform.timers) {
    if (!t.active) continue;
    const int32_t left = static_cast<int32_t>(t.due - now);
    const uint32_t in = left < 0 ? 0u : static_cast<uint32_t>(left);
    if (in < best) best = in;
  }
  return best;
}

// The first byte of a UTF-8 sequence: its length and the bits it carries; 0 when it cannot start one.
int utf8_lead(uint8_t b, uint32_t* bits) {
  if (b < 0x80) return *bits = b, 1;
  if (b >= 0xC2 && b <= 0xDF) return *bits = b & 0x1Fu, 2;
  if (b >= 0xE0 && b <= 0xEF) return *bits = b & 0x0Fu, 3;
  if (b >= 0xF0 && b <= 0xF4) return *bits = b & 0x07u, 4;
  return 0;
}

}  // namespace

uint32_t monotonic_ms() { return static_cast<uint32_t>(sys::monotonic_ms()); }

int use_backend(const Backend* backend) {
  if (!backend) return fail("no platform backend given");
  if (g_platform.backend) return fail("a platform backend is chosen already");
  if (!backend->start()) return 0;
  g_platform.backend = backend;
  return 1;
}

void shutdown() {
  if (g_platform.backend) g_platform.backend->stop();
  g_platform = PlatformState{};
}

const char* backend_name() { return g_platform.backend ? g_platform.backend->name : "none"; }

int display_count() { return g_platform.backend ? g_platform.backend->display_count() : 0; }

int display_bounds(int index, Rect* out) {
  if (!g_platform.backend) return fail("no platform backend chosen");
  return g_platform.backend->display_bounds(index, out);
}

int open_window(const WindowSpec& spec) {
  if (!g_platform.backend) return fail("no platform backend chosen");
  if (g_platform.backend->window_open()) return fail("the window is open already");
  return g_platform.backend->open_window(spec);
}

bool window_open() { return g_platform.backend && g_platform.backend->window_open(); }

int window_info(WindowInfo* out) {
  if (!window_open()) return fail("no window");
  return g_platform.backend->window_info(out);
}

int present(const PixelView& source, Rect area) {
  if (!window_open()) return fail("no window");
  if (!source.pixels || area.w <= 0 || area.h <= 0) return 1;
  return g_platform.backend->present(source, area);
}

int set_cursor(Cursor shape) {
  if (!window_open()) return fail("no window");
  return g_platform.backend->set_cursor(shape);
}

int warp_pointer(int32_t x, int32_t y) {
  if (!window_open()) return fail("no window");
  return g_platform.backend->warp_pointer(x, y);
}

int message_box(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  if (!g_platform.backend) return fail("no platform backend chosen");
  return g_platform.backend->message_box(caption ? caption : "", text ? text : "");
}

void set_window_procedure(WindowProcedure procedure) { g_platform.procedure = procedure; }

bool send(const Message& message) {
  if (message.kind == MessageKind::kPaint) {
    for (int i = 0; i < g_platform.count; ++i) {
      Message& queued = g_platform.queue[(g_platform.head + i) % kQueueSize];
      if (queued.kind != MessageKind::kPaint) continue;
      // One pending paint of the union, as a window system merges invalid areas.
      const int32_t right = std::max(queued.a + queued.c, message.a + message.c);
      const int32_t bottom = std::max(queued.b + queued.d, message.b + message.d);
      queued.a = std::min(queued.a, message.a);
      queued.b = std::min(queued.b, message.b);
      queued.c = right - queued.a;
      queued.d = bottom - queued.b;
      return true;
    }
  }
  if (g_platform.count == kQueueSize) return false;
  g_platform.queue[(g_platform.head + g_platform.count) % kQueueSize] = message;
  ++g_platform.count;
  return true;
}

bool send_text(const char* utf8, bool system) {
  if (!utf8) return true;
  const auto* p = reinterpret_cast<const uint8_t*>(utf8);
  const MessageKind kind = system ? MessageKind::kSysChar : MessageKind::kChar;
  while (*p) {
    uint32_t code = 0;
    const int length = utf8_lead(*p, &code);
    int taken = 1;
    if (length == 0) {
      code = 0xFFFD;
    } else {
      for (; taken < length; ++taken) {
        const uint8_t b = p[taken];
        if ((b & 0xC0) != 0x80) break;
        // The second byte's range rules out overlongs, surrogates and values past U+10FFFF.
        if (taken == 1 && ((p[0] == 0xE0 && b < 0xA0) || (p[0] == 0xED && b > 0x9F) ||
                           (p[0] == 0xF0 && b < 0x90) || (p[0] == 0xF4 && b > 0x8F))) {
          break;
        }
        code = (code << 6) | (b & 0x3Fu);
      }
      if (taken < length) code = 0xFFFD;
    }
    if (!send(Message{kind, static_cast<int32_t>(code), 0, 0, 0})) return false;
    p += taken;
  }
  return true;
}

int message_room() { return kQueueSize - g_platform.count; }

bool dispatch_one() {
  if (g_platform.count == 0) {
    collect();
    fire_due_timers();
  }
  if (g_platform.count == 0) return false;
  const Message message = g_platform.queue[g_platform.head];
  g_platform.head = (g_platform.head + 1) % kQueueSize;
  --g_platform.count;
  if (g_platform.procedure) g_platform.procedure(message);
  return true;
}

bool message_waiting() {
  if (g_platform.count == 0) {
    collect();
    fire_due_timers();
  }
  return g_platform.count > 0;
}

bool wait_message(uint32_t timeout_ms) {
  if (message_waiting()) return true;
  const uint32_t timer_in = next_timer_in();
  const uint32_t wait = timer_in < timeout_ms ? timer_in : timeout_ms;
  if (g_platform.backend) {
    if (!g_platform.backend->wait(wait) && wait == kWaitForever) return false;
  } else {
    if (wait == kWaitForever) return false;
    sys::sleep_ms(wait);
  }
  return message_waiting();
}

int set_timer(int32_t id, uint32_t delay_ms) {
  Timer* slot = nullptr;
  for (Timer& t : g_platform.timers) {
    if (t.active && t.id == id) {
      slot = &t;
      break;
    }
    if (!t.active && !slot) slot = &t;
  }
  if (!slot) return fail("no free timer");
  *slot = Timer{id, ticks() + delay_ms, true};
  return 1;
}

void kill_timer(int32_t id) {
  for (Timer& t : g_platform.timers) {
    if (t.active && t.id == id) t.active = false;
  }
  // A timer message already queued for it is dropped as well, as killing a timer does.
  int kept = 0;
  for (int i = 0; i < g_platform.count; ++i) {
    const Message m = g_platform.queue[(g_platform.head + i) % kQueueSize];
    if (m.kind == MessageKind::kTimer && m.a == id) continue;
    g_platform.queue[(g_platform.head + kept) % kQueueSize] = m;
    ++kept;
  }
  g_platform.count = kept;
}

uint32_t ticks() { return g_platform.backend ? g_platform.backend->ticks() : monotonic_ms(); }

}  // namespace lumra::platform
