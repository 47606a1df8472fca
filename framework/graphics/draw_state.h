// The drawing state: colour mode, current, fill and text colours, the line record and the pen,
// pen brush and fill brush made from it, the screen clip and the pixel filters. One global record
// (inside g_graphics); invalid colour numbers leave it unchanged, silently.
#pragma once

#include <cstdint>

#include "framework/graphics/palette.h"
#include "framework/graphics/raster.h"

namespace lumra::graphics {

inline constexpr int32_t kMaxPixelFilters = 8;

// A point as the drawing operations take it: two signed 32-bit coordinates.
struct Point {
  int32_t x;
  int32_t y;
};

// Gets a pixel's position and colour number; returns the colour number to draw, or a negative
// value for "do not draw".
using PixelFilter = int32_t (*)(int32_t x, int32_t y, int32_t colour);

// The line record, laid out like a LOGPEN.
struct LineRecord {
  int32_t style;    // kStyle* (0 solid)
  int32_t width_x;  // thickness
  int32_t width_y;  // always 0
  uint32_t colour;  // COLORREF of the latest pen
};

// What lines are drawn with. made == 0: no pen of ours could be made (none yet, or a style
// outside 0..6), so the window's default pen draws: black, solid, one pixel.
struct Pen {
  int32_t made;
  int32_t style;
  int32_t width;
  uint32_t colour;
};

struct Brush {
  int32_t made;  // 0: none yet; fills with it paint nothing
  uint32_t colour;
};

// The clip last applied with set_clip (window coordinates).
struct ScreenClip {
  int32_t on;
  int32_t x;
  int32_t y;
  int32_t w;
  int32_t h;
};

enum class ClipKind : int32_t {
  kWindow,  // the window's full clip: exactly the visible pixels (the start)
  kScreen,  // set_clip's rectangle, narrowed by its polygon when one was given
  kNone,    // set_clip switched off: the whole back buffer
};

struct DrawState {
  int32_t colour_mode;     // kPaletteMode or kDirectMode
  int32_t current_colour;  // last colour given to set colour
  int32_t fill_pattern;    // recorded only: fills are solid
  int32_t fill_colour;
  LineRecord line;
  Pen pen;
  Brush pen_brush;   // the pen's colour, for thin solid axis-parallel lines
  Brush fill_brush;
  uint32_t last_pixel_colour;  // COLORREF of the last pixel written with a colour number
  ScreenClip screen_clip;
  ClipKind clip_kind;
  int32_t clip_left, clip_top, clip_right, clip_bottom;  // kScreen, normalised, right/bottom exclusive
  RegionMask clip_mask;  // kScreen with a polygon
  int32_t clip_has_mask;
  uint32_t text_colour;  // COLORREF both surfaces draw text in
  DeviceColourTable device_colours;
  uint32_t pens_made;  // how many times a pen has been made, for tests
  PixelFilter filters[kMaxPixelFilters];
  int32_t filter_count;
  int32_t filter_from_image;  // set while filters run for a pixel of an image
};

// Frees what the state holds (the clip region) and returns it to its start values.
void draw_state_reset(DrawState* state);

// 0 palette mode, 1 direct mode; other values are refused. Returns the previous mode.
int32_t set_colour_mode(int32_t mode);
int32_t colour_mode();

void set_colour(int32_t c);
void set_text_colour(int32_t c);
void set_colour_bytes(uint8_t red, uint8_t green, uint8_t blue);
int32_t get_colour();
void set_fill_colour(int32_t c);
void set_fill_style(int32_t pattern, int32_t c);
void set_fill_bytes(uint8_t red, uint8_t green, uint8_t blue);
void get_fill_settings(int32_t* pattern, int32_t* colour);
void set_line_style(int32_t style, int32_t thickness);
uint32_t text_colour();
// Puts back a text colour as text_colour() returned it, for code that restores what it changed.
void restore_text_colour(uint32_t colour);

// Makes the pen from the line record in `colour`, and the pen brush in the same colour.
void make_pen(uint32_t colour);
void make_fill_brush(uint32_t colour);

// Fills the device colour table from the palette (done when the window opens).
void fill_device_colour_table();

}  // namespace lumra::graphics
