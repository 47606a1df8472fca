// What the line primitives share with the other drawing of this subsystem (stroke text): the pen
// lines are drawn with, and a polyline drawn by the primitives' end-point rule, without presenting.
#pragma once

#include <cstddef>

#include "framework/graphics/draw_state.h"
#include "framework/graphics/raster.h"

namespace lumra::graphics {

// The current pen; without one of ours, the window's default pen: black, solid, one pixel.
Pen drawing_pen();

// Whether the line record is thin (thickness at most 1): then a line's last point is painted by
// drawing to its extended end.
bool thin_line_record();

// n >= 2 points joined by `pen`, each segment leaving out its last pixel, which the next paints;
// the final point is painted too when `thin_record`.
void stroke_polyline(RasterTarget* target, const Pen& pen, bool thin_record, const Point64* points, size_t n);

}  // namespace lumra::graphics
