// The framework's one door to the windowing system: a window whose back buffer it presents, the
// cursor and pointer, a message queue with waits and timers, a millisecond tick and a message box.
// One backend (sdl2 or headless) serves it, chosen by the program at start; until then every
// window operation fails, the tick reads the monotonic clock and a wait only sleeps.
#pragma once

#include <cstdint>

#include "platform/keys.h"

namespace lumra::platform {

struct Backend;

// A rectangle as origin and size; an empty size (w or h <= 0) covers nothing.
struct Rect {
  int32_t x;
  int32_t y;
  int32_t w;
  int32_t h;
};

enum class Cursor : int32_t { kArrow = 0, kHand = 1, kNone = 2 };

struct WindowSpec {
  const char* title;  // UTF-8
  int32_t x;          // screen position of the client area
  int32_t y;
  int32_t width;      // client size
  int32_t height;
  bool borderless;    // a popup covering its screen
  bool maximized;
  bool minimized;
};

struct WindowInfo {
  Rect window;  // frame included, screen coordinates
  Rect client;  // screen coordinates
  bool minimized;
  bool hidden;
  // The window system's own id for the window, for programs that put their windows above it
  // (an X11 window); 0 where there is none to give (Wayland, headless).
  uint64_t native_id;
};

// 24-bit pixels, bytes blue, green, red; rows top-down, `stride` bytes apart.
struct PixelView {
  const uint8_t* pixels;
  int32_t width;
  int32_t height;
  int32_t stride;
};

// What the window procedure receives. The fields a..d depend on the kind.
enum class MessageKind : uint8_t {
  kNone,
  kPaint,           // a, b, c, d: client rectangle x, y, w, h to repaint
  kClose,           // close box, or a quit request such as SIGINT/SIGTERM
  kMove,            // the window moved
  kFocusGained,     // a: modifier keys held (kModHeld bits, platform/keys.h)
  kFocusLost,
  kKeyDown,         // a: virtual key (Windows numbering, platform/keys.h)
  kKeyUp,           // a: virtual key
  kChar,            // a: Unicode scalar value of a typed character
  kSysChar,         // a: a character typed with Alt held (menu mnemonics): not text input
  kMouseMove,       // a, b: client position
  kFrameMouseMove,  // a, b: screen position of a pointer outside the client area
  kButtonDown,      // a: kButtonLeft, kButtonRight or kButtonMiddle
  kButtonUp,        // a: the button
  kWheel,           // a: delta, positive away from the user
  kTimer,           // a: timer id
};

struct Message {
  MessageKind kind;
  int32_t a;
  int32_t b;
  int32_t c;
  int32_t d;
};

inline constexpr int32_t kButtonLeft = 1;
inline constexpr int32_t kButtonRight = 2;
inline constexpr int32_t kButtonMiddle = 4;
inline constexpr int32_t kWheelStep = 120;
inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

using WindowProcedure = void (*)(const Message& message);

// Backend choice: once per run (again only after shutdown). 1, or 0 when one is chosen already.
int use_backend(const Backend* backend);
// Stops the backend, forgets it, drops queued messages and timers.
void shutdown();
// "none" until a backend is chosen.
const char* backend_name();

// Displays: index 0 is the primary one. 0 displays when none can be reached.
int display_count();
int display_bounds(int index, Rect* out);

// 1 when the window is open. A run opens at most one; without a display it fails with a reason.
int open_window(const WindowSpec& spec);
bool window_open();
int window_info(WindowInfo* out);
// Copies area.w x area.h pixels from the view's top-left corner to the client area at area.x,
// area.y, clipped to the client area, and shows them.
int present(const PixelView& source, Rect area);
// A shape the backend cannot show is a successful no-op.
int set_cursor(Cursor shape);
// Client coordinates.
int warp_pointer(int32_t x, int32_t y);
// An error message box owned by the window, waiting until the user closes it. Texts in UTF-8;
// written to stderr as well, since a box may show nowhere (the SDL2 backend also needs the X
// server's core fonts, Debian's xfonts-base, to draw one).
int message_box(const char* caption, const char* text);

// The message queue. Messages go to the procedure set here, one per dispatch.
void set_window_procedure(WindowProcedure procedure);
// Takes in what the backend has waiting, then dispatches one message; false when there is none.
bool dispatch_one();
// True when a message waits (after taking in the backend's waiting events and due timers).
bool message_waiting();
// Waits until a message waits or timeout_ms pass; true when one waits. A timer falling due ends
// the wait like any message. With kWaitForever and nothing that could ever arrive (no window,
// no timer, an exhausted headless script) it returns false at once instead of hanging.
bool wait_message(uint32_t timeout_ms);

// One-shot timers that queue a kTimer message with their id when due; setting an id again re-arms it.
int set_timer(int32_t id, uint32_t delay_ms);
void kill_timer(int32_t id);

// Milliseconds of a monotonic clock, 32-bit and wrapping; compare readings by signed difference.
uint32_t ticks();

}  // namespace lumra::platform
