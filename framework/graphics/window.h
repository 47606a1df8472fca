// The graphics window: the one window the framework draws into, opened once per run and kept
// until the process ends. Drawing goes to the back buffer and, while the draw-through flag is on,
// straight to the screen as well; a close request only queues an input code.
#pragma once

#include <cstdint>

#include "framework/graphics/back_buffer.h"
#include "platform/platform.h"

namespace lumra::graphics {

// Window styles recorded when opening (Windows values, as other code compares them).
inline constexpr uint32_t kStyleOverlappedWindow = 0x00CF0000u;
inline constexpr uint32_t kStylePopup = 0x80000000u;
inline constexpr uint32_t kStyleMaximize = 0x01000000u;
// The colour-count code: 65536, so the largest colour value is 65535 and pixels are 24-bit.
inline constexpr int32_t kColourCountCode = 0x10000;

// Right and bottom exclusive.
struct ClipRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

struct Gwin {
  int32_t opened;                  // -1 until the window has been opened, then 0
  uint32_t style;                  // kStyle* bits chosen when opening
  PaintBuffer wmpaintdc;           // the back buffer
  BitmapDescription* wmpaintbmp;   // its description (framework heap)
  ClipRect full_clip;              // 0, 0, max x, max y: exactly the visible pixels
  int32_t colour_count;            // kColourCountCode once open
  platform::WindowInfo window_info;  // refreshed when opening and when the window moves
  int32_t client_width;            // the logical size
  int32_t client_height;
  int32_t draw_through;            // 1 at start
};

// Opens the window (only the first call does anything). Width 0, height 0 or below, or a size
// within 4 pixels of the screen in both directions (unless keep_size) maximise it to the screen's
// size; a negative width opens it minimised; full_screen covers the screen without a frame; a
// monitor index outside the displays means the primary one. The visible client area is one pixel
// narrower and lower than the logical size. Without a display the window stays not opened,
// silently. The menu flag is recorded in the style only: there is no menu bar.
void open_window(const char* title, int32_t width, int32_t height, int32_t menu, int32_t full_screen,
                 int32_t monitor, int32_t keep_size);

// The logical size, and its largest coordinates (size - 1).
int32_t window_width();
int32_t window_height();
int32_t max_x();
int32_t max_y();

// The whole back buffer, whatever the clip; no pixels until the window has been opened. Drawing
// goes through drawing_target() (clip.h) instead, which applies the clip.
const PaintBuffer& back_buffer();

// Copies the back buffer's (x, y, w, h) to the screen; tooltips stay on top.
void refresh_rect(int32_t x, int32_t y, int32_t w, int32_t h);
void refresh_all();

// Returns the previous flag.
int32_t set_draw_through(int32_t flag);
int32_t draw_through();

// Resets the drawing state (viewport to the whole window) and paints the visible area black,
// on the screen and in the back buffer.
void clear_window();

}  // namespace lumra::graphics
