// The screen clip: which back-buffer pixels drawing may change. At start the window's full clip
// (the visible pixels); set_clip narrows it to a rectangle or to a polygon within one, and
// switching it off opens the whole back buffer. Clip coordinates are window coordinates.
#pragma once

#include <cstdint>

#include "framework/graphics/draw_state.h"
#include "framework/graphics/raster.h"

namespace lumra::graphics {

// on != 0: clip to the rectangle (x, y, x + w, y + h) (reversed edges are put in order), or,
// with n > 0 points, to the polygon (winding rule) within that rectangle. Asking again for the
// same plain rectangle while it is active changes nothing; a polygon is always applied, and so is
// a plain rectangle over an active polygon, even with equal rectangles: the clip is then always
// the one asked for. on == 0 while a clip is on: no clip.
// 1, or 0 when the polygon's region could not be made (the clip stays as it was).
int set_clip(int32_t on, int32_t x, int32_t y, int32_t w, int32_t h, int32_t n, const Point* points);

// The back buffer within the current clip; an empty target while the window is not open.
RasterTarget drawing_target();

// Shows what a drawing changed, at once, while the draw-through flag is on.
void present_touched(const Touched& touched);

}  // namespace lumra::graphics
