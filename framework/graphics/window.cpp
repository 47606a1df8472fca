// Opening the graphics window (screen choice, size and placement rules, back buffer) and the way
// the back buffer reaches the screen. Failures to create the window return silently; failures to
// make the back buffer are reported in a box each and opening goes on without it.
#include "framework/graphics/window.h"

#include <algorithm>
#include <string>

#include "framework/base/heap.h"
#include "framework/graphics/clip.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/key_queue.h"
#include "framework/graphics/tooltips.h"
#include "framework/graphics/window_proc.h"
#include "framework/input/clock.h"
#include "framework/input/mouse.h"
#include "framework/input/periodic.h"
#include "framework/text/oem.h"

namespace lumra::graphics {
namespace {

Gwin& gwin() { return g_graphics.gwin; }

void viewport_for_input(int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
  const Viewport v = get_viewport();
  *left = v.left;
  *top = v.top;
  *right = v.right;
  *bottom = v.bottom;
}

constexpr input::WindowLink kWindowLink{viewport_for_input};

void error_box(const char* text) { platform::message_box("Error", text); }

// The screen the window goes on, with its edges as window placement compares them.
struct Screen {
  int32_t left, top, right, bottom;
  int32_t width, height;
};

bool choose_screen(int32_t monitor, Screen* s) {
  const int count = platform::display_count();
  if (count <= 0) return false;
  platform::Rect r{};
  if (monitor >= 0 && monitor < count && platform::display_bounds(monitor, &r)) {
    *s = Screen{r.x, r.y, r.x + r.w, r.y + r.h, r.w, r.h};
    return true;
  }
  // The primary display is measured by its size alone, its last row and column inclusive.
  if (!platform::display_bounds(0, &r)) return false;
  *s = Screen{0, 0, r.w - 1, r.h - 1, r.w, r.h};
  return true;
}

// Presents part of the back buffer, or of the tooltip popup where one covers it.
void present_piece(const platform::Rect& area) {
  if (area.w <= 0 || area.h <= 0) return;
  platform::present(buffer_view(&gwin().wmpaintdc, area.x, area.y), area);
}

void present_area(platform::Rect area) {
  if (gwin().opened != 0 || !buffer_clip(&gwin().wmpaintdc, &area)) return;
  const Tooltips& t = g_graphics.tooltips;
  const platform::Rect& p = t.popup_rect;
  const int32_t left = std::max(area.x, p.x);
  const int32_t top = std::max(area.y, p.y);
  const int32_t right = std::min(area.x + area.w, p.x + p.w);
  const int32_t bottom = std::min(area.y + area.h, p.y + p.h);
  if (!t.shown_id || !t.popup.pixels || left >= right || top >= bottom) {
    present_piece(area);
    return;
  }
  // The popup is opaque: the area splits into the bands around it, from the back buffer, and the
  // covered part, from the popup.
  present_piece(platform::Rect{area.x, area.y, area.w, top - area.y});
  present_piece(platform::Rect{area.x, bottom, area.w, area.y + area.h - bottom});
  present_piece(platform::Rect{area.x, top, left - area.x, bottom - top});
  present_piece(platform::Rect{right, top, area.x + area.w - right, bottom - top});
  platform::present(buffer_view(&t.popup, left - p.x, top - p.y), platform::Rect{left, top, right - left, bottom - top});
}

void make_back_buffer(int32_t width, int32_t height) {
  Gwin& g = gwin();
  const bool buffer_made = buffer_create(&g.wmpaintdc, width, height);
  if (!buffer_made) error_box("Unable to create gwin.wmpaintdc");
  g.wmpaintbmp = static_cast<BitmapDescription*>(base::heap_alloc_zeroed(1, sizeof(BitmapDescription)));
  if (g.wmpaintbmp) {
    g.wmpaintbmp->size = 40;
    g.wmpaintbmp->width = width;
    g.wmpaintbmp->height = height;
    g.wmpaintbmp->planes = 1;
    g.wmpaintbmp->bit_count = 24;  // from the largest colour value, 65535
  } else {
    error_box("Unable to open gwin.wmpaintbmp");
  }
  if (!buffer_made || !g.wmpaintbmp) error_box("Unable to assign gwin.wmpaintbmp to dc");
}

}  // namespace

void open_window(const char* title, int32_t width, int32_t height, int32_t menu, int32_t full_screen,
                 int32_t monitor, int32_t keep_size) {
  Gwin& g = gwin();
  if (g.opened != -1) return;
  Screen screen{};
  if (!choose_screen(monitor, &screen)) return;  // no display: the window stays not opened

  const int32_t requested_width = width;
  uint32_t style = 0;
  if (full_screen) {
    style = kStylePopup | kStyleMaximize;
    width = screen.width;
    height = screen.height;
  } else {
    style = kStyleOverlappedWindow | (menu ? kStylePopup : 0);
    // A negative height is taken as 0: there is no window of negative height to make.
    if (width <= 0 || height <= 0 ||
        (!keep_size && width >= screen.width - 4 && height >= screen.height - 4)) {
      width = screen.width;
      height = screen.height;
      style |= kStyleMaximize;
    }
  }
  g.style = style;

  // Centred, one pixel short of the logical size on each axis, moved onto the screen where it
  // starts before it and cut where it ends past it. The frame the window system adds lies
  // outside this client rectangle.
  int32_t left = screen.left + (screen.width - width) / 2;
  int32_t top = screen.top + (screen.height - height) / 2;
  int32_t right = left + width - 2;
  int32_t bottom = top + height - 2;
  if (screen.left > left) right += screen.left - left, left = screen.left;
  if (screen.top > top) bottom += screen.top - top, top = screen.top;
  if (right > screen.right) right = screen.right;
  if (bottom > screen.bottom) bottom = screen.bottom;

  const std::string title_utf8 = text::windows_to_utf8(text::oem_to_windows(title ? title : ""));
  platform::set_window_procedure(window_procedure);
  platform::WindowSpec spec{};
  spec.title = title_utf8.c_str();
  spec.x = left;
  spec.y = top;
  spec.width = std::max(right - left + 1, 1);
  spec.height = std::max(bottom - top + 1, 1);
  spec.borderless = full_screen != 0;
  spec.minimized = requested_width < 0;
  spec.maximized = (style & kStyleMaximize) && !spec.minimized;
  if (!platform::open_window(spec)) return;

  platform::window_info(&g.window_info);
  // The logical size is the client size plus one, capped at the screen's size.
  int32_t logical_width = g.window_info.client.w + 1;
  int32_t logical_height = g.window_info.client.h + 1;
  if (logical_width > screen.width) logical_width = screen.width;
  if (logical_height > screen.height) logical_height = screen.height;

  g.colour_count = kColourCountCode;
  make_back_buffer(logical_width, logical_height);
  fill_device_colour_table();
  g.full_clip = ClipRect{0, 0, logical_width - 1, logical_height - 1};

  set_viewport(0, 0, logical_width - 1, logical_height - 1);
  input::register_periodic(0, pump_messages, nullptr, 0);
  input::attach_window(&kWindowLink);
  g.opened = 0;
  base::array_setup(&g_graphics.tooltips.list, sizeof(TooltipEntry));
  input::reset_pending();
  g.client_width = logical_width;
  g.client_height = logical_height;
  clear_window();
}

int32_t window_width() { return gwin().client_width; }
int32_t window_height() { return gwin().client_height; }
int32_t max_x() { return gwin().client_width - 1; }
int32_t max_y() { return gwin().client_height - 1; }

const PaintBuffer& back_buffer() { return gwin().wmpaintdc; }

void refresh_rect(int32_t x, int32_t y, int32_t w, int32_t h) { present_area(platform::Rect{x, y, w, h}); }

void refresh_all() { refresh_rect(0, 0, window_width(), window_height()); }

int32_t set_draw_through(int32_t flag) {
  const int32_t previous = gwin().draw_through;
  gwin().draw_through = flag;
  return previous;
}

int32_t draw_through() { return gwin().draw_through; }

void clear_window() {
  Gwin& g = gwin();
  set_text_colour(15);
  set_line_style(kStyleSolid, 1);
  set_viewport(0, 0, max_x(), max_y());
  set_text_style(0, kDirectionHorizontal, 0);
  // The full clip region is painted through the current clip, as every fill is: a clip set by the
  // caller keeps what lies outside it. The window shows the result whatever the draw-through flag.
  RasterTarget t = drawing_target();
  raster_fill_rect(&t, g.full_clip.left, g.full_clip.top, g.full_clip.right, g.full_clip.bottom, 0);
  const Touched& r = t.touched;
  if (r.right > r.left && r.bottom > r.top) present_area(platform::Rect{r.left, r.top, r.right - r.left, r.bottom - r.top});
}

}  // namespace lumra::graphics
