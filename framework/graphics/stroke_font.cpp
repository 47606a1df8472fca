// Stroke-face layout and drawing. Positions are kept in units along the text and turned into
// pixels once per point, so a long text neither drifts nor differs between measuring and drawing.
#include "framework/graphics/stroke_font.h"

#include <cmath>

#include "framework/graphics/primitives_internal.h"

namespace lumra::graphics {
namespace {

// Strokes of the Hershey glyphs have at most a few dozen points; longer ones are drawn in pieces
// that share their end points.
constexpr size_t kStrokePoints = 64;

int64_t pixels(double units, double scale) { return static_cast<int64_t>(std::llround(units * scale)); }

bool same_name(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    const char x = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
    const char y = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

const StrokeFace& stroke_face(const char* name) {
  for (int32_t i = 0; name && i < kStrokeFaceCount; ++i) {
    if (same_name(name, kStrokeFaces[i].name)) return kStrokeFaces[i];
  }
  return kStrokeFaces[0];
}

StrokeScale stroke_scale(double factor_x, double factor_y, bool vertical) {
  return StrokeScale{factor_x / kStrokeUnitsPerPixel, factor_y / kStrokeUnitsPerPixel, vertical};
}

int32_t stroke_width(const StrokeFace& face, const StrokeScale& scale, const char* text, size_t length) {
  int64_t units = 0;
  for (size_t i = 0; i < length; ++i) units += face.glyphs[static_cast<uint8_t>(text[i])].advance;
  return static_cast<int32_t>(pixels(static_cast<double>(units), scale.x));
}

int32_t stroke_ascent(const StrokeFace& face, const StrokeScale& scale) {
  return static_cast<int32_t>(pixels(face.ascent, scale.y));
}

int32_t stroke_descent(const StrokeFace& face, const StrokeScale& scale) {
  return static_cast<int32_t>(pixels(face.descent, scale.y));
}

int32_t stroke_height(const StrokeFace& face, const StrokeScale& scale) {
  return static_cast<int32_t>(pixels(face.ascent - face.descent, scale.y));
}

void stroke_draw(RasterTarget* target, const StrokeFace& face, const StrokeScale& scale, int64_t x, int64_t y,
                 const char* text, size_t length, const Pen& pen, bool thin_record) {
  int64_t pen_units = 0;
  Point64 stroke[kStrokePoints];
  for (size_t i = 0; i < length; ++i) {
    const StrokeGlyph& g = face.glyphs[static_cast<uint8_t>(text[i])];
    size_t n = 0;
    for (uint32_t k = 0; k <= g.count; ++k) {
      const bool lift = k == g.count || face.points[2 * (g.first + k)] == kStrokePenUp;
      if (!lift) {
        // Along the text u, across it v (down from the baseline); a vertical text turns both a
        // quarter to the left: u goes up, v goes right.
        const int64_t u = pixels(static_cast<double>(pen_units + face.points[2 * (g.first + k)]), scale.x);
        const int64_t v = pixels(face.points[2 * (g.first + k) + 1], scale.y);
        stroke[n++] = scale.vertical ? Point64{x + v, y - u} : Point64{x + u, y + v};
      }
      if (lift || n == kStrokePoints) {
        if (n >= 2) stroke_polyline(target, pen, thin_record, stroke, n);
        // A stroke cut for length goes on from its last point.
        if (!lift) stroke[0] = stroke[n - 1];
        n = lift ? 0 : 1;
      }
    }
    pen_units += g.advance;
  }
}

}  // namespace lumra::graphics
