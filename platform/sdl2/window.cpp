// The SDL2 window: video start with the no-display rule, displays, a non-resizable window without
// OpenGL (framebuffer acceleration off), presenting into the window surface or through the
// software renderer, system cursors, pointer warps and the simple message box.
#include <strings.h>

#include <cstring>

#include <SDL_syswm.h>

#include "framework/base/error.h"
#include "platform/sdl2/sdl2_internal.h"

namespace lumra::platform::sdl2 {

using base::fail;
using base::failf;

bool driver_is_display(const char* driver, const char* requested) {
  if (!driver) return false;
  if (strcasecmp(driver, "offscreen") != 0 && strcasecmp(driver, "dummy") != 0) return true;
  if (!requested) return false;
  const size_t length = std::strlen(driver);
  for (const char* p = requested; *p;) {
    const char* end = std::strchr(p, ',');
    const size_t token = end ? static_cast<size_t>(end - p) : std::strlen(p);
    if (token == length && strncasecmp(p, driver, length) == 0) return true;
    if (!end) break;
    p = end + 1;
  }
  return false;
}

bool init_video() {
  if (g_sdl2.video_up) return true;
  // Without OpenGL behind the window surface the first frame comes much sooner; SDL's own
  // environment variables still override these defaults.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Closing the only window must stay a request; otherwise SDL adds a quit and it arrives twice.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return failf("no display: %s", SDL_GetError());
  if (!driver_is_display(SDL_GetCurrentVideoDriver(), SDL_getenv("SDL_VIDEODRIVER"))) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return fail("no display");
  }
  g_sdl2.video_up = true;
  return true;
}

void close_window() {
  for (SDL_Cursor*& c : g_sdl2.cursors) {
    if (c) SDL_FreeCursor(c);
    c = nullptr;
  }
  if (g_sdl2.texture) SDL_DestroyTexture(g_sdl2.texture);
  if (g_sdl2.renderer) SDL_DestroyRenderer(g_sdl2.renderer);
  if (g_sdl2.window) SDL_DestroyWindow(g_sdl2.window);
  g_sdl2.texture = nullptr;
  g_sdl2.renderer = nullptr;
  g_sdl2.window = nullptr;
  g_sdl2.window_id = 0;
}

int display_count() {
  if (!init_video()) return 0;
  const int n = SDL_GetNumVideoDisplays();
  return n > 0 ? n : 0;
}

int display_bounds(int index, Rect* out) {
  if (!init_video()) return 0;
  SDL_Rect r{};
  if (SDL_GetDisplayBounds(index, &r) != 0) return failf("no display %d: %s", index, SDL_GetError());
  *out = Rect{r.x, r.y, r.w, r.h};
  return 1;
}

int open_window(const WindowSpec& spec) {
  if (!init_video()) return 0;
  Uint32 flags = SDL_WINDOW_SHOWN;  // never SDL_WINDOW_RESIZABLE: the back buffer keeps its size
  if (spec.borderless) flags |= SDL_WINDOW_BORDERLESS;
  if (spec.maximized) flags |= SDL_WINDOW_MAXIMIZED;
  if (spec.minimized) flags |= SDL_WINDOW_MINIMIZED;
  g_sdl2.window = SDL_CreateWindow(spec.title ? spec.title : "", spec.x, spec.y, spec.width, spec.height, flags);
  if (!g_sdl2.window) return failf("cannot create the window: %s", SDL_GetError());
  g_sdl2.window_id = SDL_GetWindowID(g_sdl2.window);
  bool ready = false;
  if (g_sdl2.path == PresentPath::kSoftwareRenderer) {
    g_sdl2.renderer = SDL_CreateRenderer(g_sdl2.window, -1, SDL_RENDERER_SOFTWARE);
    if (g_sdl2.renderer) {
      g_sdl2.texture = SDL_CreateTexture(g_sdl2.renderer, SDL_PIXELFORMAT_BGR24, SDL_TEXTUREACCESS_STREAMING,
                                         spec.width, spec.height);
    }
    ready = g_sdl2.texture != nullptr;
  } else {
    ready = SDL_GetWindowSurface(g_sdl2.window) != nullptr;
  }
  if (ready) return 1;
  const int result = failf("cannot present to the window: %s", SDL_GetError());
  close_window();
  return result;
}

bool window_open() { return g_sdl2.window != nullptr; }

int window_info(WindowInfo* out) {
  int x = 0, y = 0, w = 0, h = 0, top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowPosition(g_sdl2.window, &x, &y);
  SDL_GetWindowSize(g_sdl2.window, &w, &h);
  if (SDL_GetWindowBordersSize(g_sdl2.window, &top, &left, &bottom, &right) != 0) top = left = bottom = right = 0;
  const Uint32 flags = SDL_GetWindowFlags(g_sdl2.window);
  out->client = Rect{x, y, w, h};
  out->window = Rect{x - left, y - top, w + left + right, h + top + bottom};
  out->minimized = (flags & SDL_WINDOW_MINIMIZED) != 0;
  out->hidden = (flags & SDL_WINDOW_HIDDEN) != 0;
  out->native_id = 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (SDL_GetWindowWMInfo(g_sdl2.window, &wm) == SDL_TRUE && wm.subsystem == SDL_SYSWM_X11) {
    out->native_id = static_cast<uint64_t>(wm.info.x11.window);
  }
#endif
  return 1;
}

namespace {

// Clips the area to the source view and to a target of w x h; the source origin moves along.
bool clip(const PixelView& source, Rect* area, int32_t w, int32_t h, int32_t* sx, int32_t* sy) {
  *sx = *sy = 0;
  if (area->x < 0) *sx = -area->x, area->w += area->x, area->x = 0;
  if (area->y < 0) *sy = -area->y, area->h += area->y, area->y = 0;
  if (area->w > source.width - *sx) area->w = source.width - *sx;
  if (area->h > source.height - *sy) area->h = source.height - *sy;
  if (area->w > w - area->x) area->w = w - area->x;
  if (area->h > h - area->y) area->h = h - area->y;
  return area->w > 0 && area->h > 0;
}

int present_surface(const PixelView& source, Rect area) {
  SDL_Surface* surface = SDL_GetWindowSurface(g_sdl2.window);
  if (!surface) return failf("no window surface: %s", SDL_GetError());
  int32_t sx = 0, sy = 0;
  if (!clip(source, &area, surface->w, surface->h, &sx, &sy)) return 1;
  const uint8_t* from = source.pixels + static_cast<size_t>(sy) * source.stride + static_cast<size_t>(sx) * 3;
  auto* to = static_cast<uint8_t*>(surface->pixels) + static_cast<size_t>(area.y) * surface->pitch +
             static_cast<size_t>(area.x) * surface->format->BytesPerPixel;
  const Uint32 format = surface->format->format;
  if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
    // The usual X11 surface; a plain loop beats SDL's generic 24-to-32-bit converter.
    for (int32_t row = 0; row < area.h; ++row) {
      const uint8_t* s = from + static_cast<size_t>(row) * source.stride;
      auto* d = reinterpret_cast<Uint32*>(to + static_cast<size_t>(row) * surface->pitch);
      for (int32_t x = 0; x < area.w; ++x, s += 3) {
        d[x] = 0xFF000000u | static_cast<Uint32>(s[2]) << 16 | static_cast<Uint32>(s[1]) << 8 | s[0];
      }
    }
  } else if (SDL_ConvertPixels(area.w, area.h, SDL_PIXELFORMAT_BGR24, from, source.stride, format, to,
                               surface->pitch) != 0) {
    return failf("cannot convert pixels: %s", SDL_GetError());
  }
  const SDL_Rect r{area.x, area.y, area.w, area.h};
  if (SDL_UpdateWindowSurfaceRects(g_sdl2.window, &r, 1) != 0) return failf("present failed: %s", SDL_GetError());
  return 1;
}

int present_renderer(const PixelView& source, Rect area) {
  int w = 0, h = 0;
  if (SDL_QueryTexture(g_sdl2.texture, nullptr, nullptr, &w, &h) != 0) return failf("no texture: %s", SDL_GetError());
  int32_t sx = 0, sy = 0;
  if (!clip(source, &area, w, h, &sx, &sy)) return 1;
  const uint8_t* from = source.pixels + static_cast<size_t>(sy) * source.stride + static_cast<size_t>(sx) * 3;
  const SDL_Rect r{area.x, area.y, area.w, area.h};
  // The texture keeps every presented pixel, so the whole of it is copied to the window each time.
  if (SDL_UpdateTexture(g_sdl2.texture, &r, from, source.stride) != 0 ||
      SDL_RenderCopy(g_sdl2.renderer, g_sdl2.texture, nullptr, nullptr) != 0) {
    return failf("present failed: %s", SDL_GetError());
  }
  SDL_RenderPresent(g_sdl2.renderer);
  return 1;
}

}  // namespace

int present(const PixelView& source, Rect area) {
  return g_sdl2.renderer ? present_renderer(source, area) : present_surface(source, area);
}

int set_cursor(Cursor shape) {
  if (shape == Cursor::kNone) {
    SDL_ShowCursor(SDL_DISABLE);
    return 1;
  }
  const int index = shape == Cursor::kHand ? 1 : 0;
  SDL_Cursor*& cursor = g_sdl2.cursors[index];
  if (!cursor) cursor = SDL_CreateSystemCursor(index == 1 ? SDL_SYSTEM_CURSOR_HAND : SDL_SYSTEM_CURSOR_ARROW);
  // Drivers without system cursors (offscreen, dummy) have nothing to change.
  if (cursor) SDL_SetCursor(cursor);
  SDL_ShowCursor(SDL_ENABLE);
  return 1;
}

int warp_pointer(int32_t x, int32_t y) {
  SDL_WarpMouseInWindow(g_sdl2.window, x, y);
  return 1;
}

int message_box(const char* caption, const char* text) {
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, g_sdl2.window) != 0) {
    return failf("message box failed: %s", SDL_GetError());
  }
  return 1;
}

}  // namespace lumra::platform::sdl2
