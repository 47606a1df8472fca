// The graphics subsystem's globals in one place (the window record `gwin`, the key queue, the
// tooltips, the viewport, the drawing state, the text settings and fonts), with the reset tests
// use. Single-threaded; lives for the run.
#pragma once

#include "framework/graphics/draw_state.h"
#include "framework/graphics/key_queue.h"
#include "framework/graphics/text.h"
#include "framework/graphics/tooltips.h"
#include "framework/graphics/viewport.h"
#include "framework/graphics/window.h"

namespace lumra::graphics {

struct GraphicsState {
  Gwin gwin;
  KeyQueue keys;
  Tooltips tooltips;
  Viewport viewport;
  DrawState draw;
  TextState text;
};
extern GraphicsState g_graphics;

// Frees what the window holds and returns every field to its start value (opened -1,
// draw-through 1). The platform is left alone: tests shut it down themselves.
void graphics_reset();

}  // namespace lumra::graphics
