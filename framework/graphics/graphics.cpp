// The graphics subsystem's globals and their start values.
#include "framework/graphics/graphics.h"

#include "framework/base/heap.h"
#include "platform/platform.h"

namespace lumra::graphics {
namespace {

GraphicsState start_state() {
  GraphicsState s{};
  s.gwin.opened = -1;
  s.gwin.draw_through = 1;
  s.text = text_start_state();
  return s;
}

}  // namespace

GraphicsState g_graphics = start_state();

void graphics_reset() {
  tooltips_release();
  buffer_release(&g_graphics.gwin.wmpaintdc);
  base::heap_free(g_graphics.gwin.wmpaintbmp);
  platform::set_window_procedure(nullptr);
  draw_state_reset(&g_graphics.draw);
  text_release(&g_graphics.text);
  g_graphics = start_state();
}

}  // namespace lumra::graphics
