// State shared by the SDL2 backend's files. Not for use outside platform/sdl2/; the only place
// besides them that includes an SDL header.
#pragma once

#include <SDL.h>

#include "platform/backend.h"
#include "platform/sdl2/sdl2.h"

namespace lumra::platform::sdl2 {

struct Sdl2State {
  bool started;
  bool video_up;  // SDL video (and with it events and the signal handlers) initialised by us
  PresentPath path;
  SDL_Window* window;
  uint32_t window_id;
  SDL_Renderer* renderer;  // software renderer path only
  SDL_Texture* texture;
  SDL_Cursor* cursors[2];  // arrow, hand; created on first use
  // Modifiers as of the latest key event translated. SDL's own state runs ahead of its queue
  // (a whole batch of X events is read at once), so text input is judged by this instead.
  Uint16 key_mod;
};
extern Sdl2State g_sdl2;

// Initialises SDL video once; false (with a reason) when there is no display.
bool init_video();
void close_window();

int display_count();
int display_bounds(int index, Rect* out);
int open_window(const WindowSpec& spec);
bool window_open();
int window_info(WindowInfo* out);
int present(const PixelView& source, Rect area);
int set_cursor(Cursor shape);
int warp_pointer(int32_t x, int32_t y);
int message_box(const char* caption, const char* text);
void collect();
bool wait(uint32_t timeout_ms);
uint32_t ticks();

}  // namespace lumra::platform::sdl2
