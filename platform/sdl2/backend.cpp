// The SDL2 backend's table and its lifetime. SDL itself starts only when a display is first needed,
// so a run that never opens the window never pays for SDL_Init.
#include "framework/base/error.h"
#include "platform/sdl2/sdl2_internal.h"

namespace lumra::platform::sdl2 {

Sdl2State g_sdl2{};

namespace {

int start() {
  if (g_sdl2.started) return base::fail("the SDL2 backend is started already");
  const PresentPath path = g_sdl2.path;
  g_sdl2 = Sdl2State{};
  g_sdl2.path = path;
  g_sdl2.started = true;
  return 1;
}

void stop() {
  close_window();
  if (g_sdl2.video_up) SDL_Quit();
  const PresentPath path = g_sdl2.path;
  g_sdl2 = Sdl2State{};
  g_sdl2.path = path;
}

constexpr Backend kBackend{
    "sdl2",     start,      stop,         display_count, display_bounds, open_window, window_open, window_info,
    present,    set_cursor, warp_pointer, message_box,   collect,        wait,        ticks,
};

}  // namespace

const Backend* backend() { return &kBackend; }

void set_present_path(PresentPath path) { g_sdl2.path = path; }

PresentPath present_path() { return g_sdl2.path; }

}  // namespace lumra::platform::sdl2
