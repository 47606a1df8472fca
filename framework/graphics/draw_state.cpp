// The colour, fill and line-style operations. A colour number is checked against the mode first:
// in palette mode only 0..255 name a palette entry, so anything else (negative numbers too, which
// would read before the palette) is ignored like the numbers of 256 and more.
#include "framework/graphics/draw_state.h"

#include "framework/graphics/colour.h"
#include "framework/graphics/graphics.h"

namespace lumra::graphics {
namespace {

DrawState& ds() { return g_graphics.draw; }

bool valid_colour(int32_t c) { return ds().colour_mode != kPaletteMode || (c >= 0 && c < kPaletteSize); }

// The table entry for a colour number; numbers outside the table take entry 15 (white).
uint32_t table_colour(int32_t c) {
  return device_colour_entry(ds().device_colours, c >= 0 && c < kPaletteSize ? c : 15);
}

}  // namespace

void draw_state_reset(DrawState* state) {
  region_release(&state->clip_mask);
  *state = DrawState{};
}

int32_t set_colour_mode(int32_t mode) {
  const int32_t previous = ds().colour_mode;
  if (mode == kPaletteMode || mode == kDirectMode) ds().colour_mode = mode;
  return previous;
}

int32_t colour_mode() { return ds().colour_mode; }

void make_pen(uint32_t colour) {
  DrawState& s = ds();
  s.line.colour = colour;
  const int32_t style = s.line.style;
  s.pen = Pen{};
  if (style >= kStyleSolid && style <= kStyleInsideFrame) {
    // A width of 0 (or less) is the one-pixel pen.
    s.pen = Pen{1, style, s.line.width_x < 1 ? 1 : s.line.width_x, colour};
  }
  s.pen_brush = Brush{1, colour};
  ++s.pens_made;
}

void make_fill_brush(uint32_t colour) { ds().fill_brush = Brush{1, colour}; }

void set_colour(int32_t c) {
  if (!valid_colour(c)) return;
  ds().current_colour = c;
  if (ds().colour_mode == kPaletteMode) set_text_colour(c);
  make_pen(pen_colour(ds().colour_mode, c));
}

void set_text_colour(int32_t c) {
  make_pen(table_colour(ds().current_colour));
  ds().text_colour = table_colour(c);
}

void set_colour_bytes(uint8_t red, uint8_t green, uint8_t blue) {
  ds().current_colour = bytes_to_16bit(red, green, blue);
  make_pen(bytes_colour(red, green, blue));
}

int32_t get_colour() { return ds().current_colour; }

void set_fill_colour(int32_t c) {
  if (!valid_colour(c)) return;
  ds().fill_pattern = 1;
  ds().fill_colour = c;
  make_fill_brush(pen_colour(ds().colour_mode, c));
}

void set_fill_style(int32_t pattern, int32_t c) {
  // 256 and more are refused in both modes; negative numbers only where they would index the palette.
  if (c >= kPaletteSize || !valid_colour(c)) return;
  ds().fill_pattern = pattern;
  ds().fill_colour = c;
  make_fill_brush(pen_colour(ds().colour_mode, c));
}

void set_fill_bytes(uint8_t red, uint8_t green, uint8_t blue) {
  ds().current_colour = bytes_to_16bit(red, green, blue);
  make_fill_brush(bytes_colour(red, green, blue));
}

void get_fill_settings(int32_t* pattern, int32_t* colour) {
  if (pattern) *pattern = ds().fill_pattern;
  if (colour) *colour = ds().fill_colour;
}

void set_line_style(int32_t style, int32_t thickness) { ds().line = LineRecord{style, thickness, 0, 0}; }

uint32_t text_colour() { return ds().text_colour; }

void restore_text_colour(uint32_t colour) { ds().text_colour = colour; }

void fill_device_colour_table() { fill_device_colours(&ds().device_colours); }

}  // namespace lumra::graphics
