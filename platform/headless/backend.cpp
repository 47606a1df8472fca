// The headless backend's table and its lifetime: start, stop and the test reset.
#include "framework/base/error.h"
#include "platform/headless/headless_internal.h"

namespace lumra::platform::headless {

HeadlessState g_headless{};

namespace {

constexpr Backend kBackend{
    "headless", start,      stop,        display_count, display_bounds, open_window, window_open, window_info,
    present,    set_cursor, warp_pointer, message_box,  collect,        wait,        ticks,
};

bool g_configured = false;

}  // namespace

const Backend* backend() { return &kBackend; }

void reset() {
  free_window();
  free_script();
  g_headless = HeadlessState{};
  g_headless.now = kStartTicks;
  g_headless.displays[0] = Rect{0, 0, 1280, 1024};
  g_headless.display_count = 1;
  g_headless.display_available = true;
  base::array_setup(&g_headless.script, sizeof(ScriptedMessage));
  g_configured = true;
}

int start() {
  if (g_headless.started) return base::fail("the headless backend is started already");
  if (!g_configured) reset();
  g_headless.started = true;
  return 1;
}

void stop() {
  free_window();
  g_headless.started = false;
}

}  // namespace lumra::platform::headless
