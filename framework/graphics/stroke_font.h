// The framework's own vector fonts (font types 0 and 1): single-line stroke faces drawn with the
// current pen, from the public-domain Hershey data turned into a table at build time (tools/mkstroke).
// Glyphs are found by OEM code; units are the data's own, two to a pixel at the natural size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/graphics/draw_state.h"
#include "framework/graphics/raster.h"

namespace lumra::graphics {

// A point pair with this x lifts the pen: the next point starts a new stroke.
inline constexpr int8_t kStrokePenUp = -128;
// Units per pixel at the natural size (size step 4, or size 0 with a user size of 1/1): the
// Roman faces are 28 units from the top of a capital to the foot of a descender, so 14 pixels.
inline constexpr double kStrokeUnitsPerPixel = 2.0;

struct StrokeGlyph {
  uint32_t first;   // index of its first point pair in the face's points
  uint16_t count;   // point pairs, pen lifts included; 0 draws nothing
  uint8_t advance;  // units the pen moves on
};

struct StrokeFace {
  const char* name;            // chosen by this name as a type-1 font's face name (case ignored)
  int8_t ascent;               // units from the baseline up to the top of the capitals
  int8_t descent;              // units from the baseline down to the foot of the descenders (negative)
  const StrokeGlyph* glyphs;   // 256, by OEM code; control codes draw nothing and do not advance
  const int8_t* points;        // x, y pairs: x from the glyph's left edge, y down from the baseline
};

// Generated at build time: the first face is font 0's.
extern const StrokeFace kStrokeFaces[];
extern const int32_t kStrokeFaceCount;

// The face of that name, case ignored; font 0's face for any other name.
const StrokeFace& stroke_face(const char* name);
inline const StrokeFace& stroke_face_default() { return kStrokeFaces[0]; }

// How a text is laid out: pixels per unit along the text (x) and across it (y), and the direction.
struct StrokeScale {
  double x;
  double y;
  bool vertical;  // runs upwards, the glyphs turned a quarter left
};

// The natural scale times these factors.
StrokeScale stroke_scale(double factor_x, double factor_y, bool vertical);

// The advance of the text in pixels, rounded: where the next text would start.
int32_t stroke_width(const StrokeFace& face, const StrokeScale& scale, const char* text, size_t length);
// Ascent above and descent below the baseline in pixels, rounded (descent negative).
int32_t stroke_ascent(const StrokeFace& face, const StrokeScale& scale);
int32_t stroke_descent(const StrokeFace& face, const StrokeScale& scale);
// Ascent minus descent, rounded once.
int32_t stroke_height(const StrokeFace& face, const StrokeScale& scale);

// Draws the text with its baseline's start at (x, y), device pixels, each stroke as a polyline of
// `pen` (a thin record paints each stroke's last point, as lines do).
void stroke_draw(RasterTarget* target, const StrokeFace& face, const StrokeScale& scale, int64_t x, int64_t y,
                 const char* text, size_t length, const Pen& pen, bool thin_record);

}  // namespace lumra::graphics
