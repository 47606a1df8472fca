// State shared by the headless backend's files. Not for use outside platform/headless/.
#pragma once

#include <cstdint>

#include "framework/base/dynarray.h"
#include "platform/backend.h"
#include "platform/headless/headless.h"

namespace lumra::platform::headless {

inline constexpr int kMaxDisplays = 8;

struct ScriptedMessage {
  uint32_t time;
  Message message;
};

struct HeadlessState {
  bool started;
  uint32_t now;
  base::DynArray script;  // ScriptedMessage, in delivery order
  uint32_t delivered;     // script entries already handed to the core
  Rect displays[kMaxDisplays];
  int display_count;
  bool display_available;
  int32_t frame_left, frame_top, frame_right, frame_bottom;
  bool window_open;
  WindowSpec spec;
  char title[256];
  uint8_t* frame;  // framework heap; client width x height x 3
  int32_t frame_stride;
  uint32_t present_count;
  Rect last_present;
  Cursor cursor;
  uint32_t cursor_calls;
  uint32_t warp_count;
  int32_t warp_x, warp_y;
  uint32_t message_box_count;
  char caption[128];
  char text[512];
};
extern HeadlessState g_headless;

void free_window();
void free_script();
// Hands every scripted message that is due to the core.
void deliver_due();
// Time of the next undelivered scripted message; false when there is none.
bool next_scripted(uint32_t* time);

int start();
void stop();
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

}  // namespace lumra::platform::headless
