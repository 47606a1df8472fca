// Tooltip list, hover timing and the popup. The popup is an opaque box, so presenting it is a
// plain copy of its pixels; the window's present splits any area it covers (see window.cpp).
#include "framework/graphics/tooltips.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/graphics/colour.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/stroke_font.h"
#include "framework/graphics/window.h"
#include "framework/text/oem.h"
#include "platform/system/fonts.h"

namespace lumra::graphics {
namespace {

constexpr int32_t kPadX = 3;
constexpr int32_t kPadY = 2;
constexpr int32_t kBelowPointer = 20;  // clear of the arrow cursor
constexpr uint8_t kBack[3] = {225, 255, 255};  // blue, green, red: the usual info background
constexpr uint8_t kInk[3] = {0, 0, 0};
constexpr uint32_t kInkColour = rgb(kInk[2], kInk[1], kInk[0]);

Tooltips& tips() { return g_graphics.tooltips; }

TooltipEntry* find(int32_t id) {
  uint8_t* at = nullptr;
  while (tips().list.element_size && base::array_next(&tips().list, &at)) {
    auto* entry = reinterpret_cast<TooltipEntry*>(at);
    if (entry->id == id) return entry;
  }
  return nullptr;
}

bool contains(const platform::Rect& r, int32_t x, int32_t y) {
  return x >= r.x && y >= r.y && x - r.x < r.w && y - r.y < r.h;
}

int32_t tool_at(int32_t x, int32_t y) {
  uint8_t* at = nullptr;
  while (tips().list.element_size && base::array_next(&tips().list, &at)) {
    const auto* entry = reinterpret_cast<const TooltipEntry*>(at);
    if (entry->active && contains(entry->tool, x, y)) return entry->id;
  }
  return 0;
}

// The desktop's default face at the tooltip size, looked for once; null when the system has none.
SystemFont* font() {
  Tooltips& t = tips();
  if (t.font_tried) return t.font;
  t.font_tried = true;
  sys::FontFile file;
  if (!sys::find_default_font(sys::kFontWeightRegular, false, &file)) return nullptr;
  auto* made = static_cast<SystemFont*>(base::heap_alloc_zeroed(1, sizeof(SystemFont)));
  if (!made) return nullptr;
  LogFont description{};
  description.height = -kTooltipFontPixels;
  description.weight = kWeightNormal;
  description.quality = kProofQuality;
  if (!system_font_make_from_file(&t.library, made, description, file)) {
    base::heap_free(made);
    return nullptr;
  }
  t.font = made;
  return made;
}

// How the popup's face sets its text: a system font reads Windows characters, the stroke font OEM.
struct TipFace {
  SystemFont* font;  // null: the stroke font at its natural size
  StrokeScale scale;

  int32_t width(const char* text, int n) const {
    if (font) return system_font_width(font, text, static_cast<size_t>(n));
    return stroke_width(stroke_face_default(), scale, text, static_cast<size_t>(n));
  }
  int32_t line_height() const {
    return font ? font->metrics.height : stroke_height(stroke_face_default(), scale) + 2;
  }
  // One line with the top of its cell at (x, y).
  void draw(RasterTarget* t, int32_t x, int32_t y, const char* text, int n) const {
    if (font) return system_font_draw(t, font, x, y, kAlignLeft | kAlignTop, text, static_cast<size_t>(n), kInkColour);
    const Pen pen{1, kStyleSolid, 1, kInkColour};
    stroke_draw(t, stroke_face_default(), scale, x, y + stroke_ascent(stroke_face_default(), scale), text,
                static_cast<size_t>(n), pen, true);
  }
};

// The entry's text for the face: control characters other than line breaks become spaces.
int tip_text(const char* windows_text, bool oem, char* out) {
  int n = 0;
  for (; windows_text[n] && n < kTooltipTextSize - 1; ++n) {
    auto c = static_cast<uint8_t>(windows_text[n]);
    if (c < 32 && c != '\n' && c != '\r') c = ' ';
    if (oem && c >= 32) c = text::windows_char_to_oem(c);
    out[n] = static_cast<char>(c);
  }
  return n;
}

struct Line {
  int begin;
  int end;
};

// Breaks at spaces so that lines fit `max_width` pixels; a word wider than that keeps a line of
// its own. Explicit line breaks always break.
int wrap(const TipFace& face, const char* text, int n, int32_t max_width, Line* lines, int capacity) {
  int count = 0;
  int start = 0;
  while (start <= n && count < capacity) {
    int end = start;
    int last_space = -1;
    while (end < n && text[end] != '\n' && text[end] != '\r') {
      if (text[end] == ' ') last_space = end;
      if (last_space > start && face.width(text + start, end + 1 - start) > max_width) {
        end = last_space;
        break;
      }
      ++end;
    }
    lines[count++] = Line{start, end};
    if (end >= n) break;
    start = end + 1;
    if (text[end] == '\r' && start < n && text[start] == '\n') ++start;
  }
  return count;
}

void hide() {
  Tooltips& t = tips();
  platform::kill_timer(kTooltipHideTimer);
  if (!t.shown_id) return;
  t.shown_id = 0;
  const platform::Rect area = t.popup_rect;
  buffer_release(&t.popup);
  t.popup_rect = platform::Rect{};
  refresh_rect(area.x, area.y, area.w, area.h);
}

void show(const TooltipEntry& entry) {
  Tooltips& t = tips();
  const TipFace face{font(), stroke_scale(1, 1, false)};
  char text[kTooltipTextSize];
  const int n = tip_text(entry.text, !face.font, text);
  const int32_t max_text_width = std::max(entry.max_width - 2 - 2 * kPadX, 1);
  Line lines[kTooltipTextSize];
  const int line_count = wrap(face, text, n, max_text_width, lines, kTooltipTextSize);
  int32_t longest = 0;
  for (int i = 0; i < line_count; ++i) longest = std::max(longest, face.width(text + lines[i].begin, lines[i].end - lines[i].begin));
  const int32_t line_height = face.line_height();

  const int32_t w = longest + 2 * kPadX + 2;
  const int32_t h = line_count * line_height + 2 * kPadY + 2;
  const int32_t visible_w = window_width() - 1;
  const int32_t visible_h = window_height() - 1;
  int32_t x = t.pointer_x;
  int32_t y = t.pointer_y + kBelowPointer;
  if (x + w > visible_w) x = visible_w - w;
  if (y + h > visible_h) y = t.pointer_y - h - 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;

  PaintBuffer popup{};
  if (!buffer_create(&popup, w, h)) return;
  buffer_fill(&popup, platform::Rect{0, 0, w, h}, kInk[2], kInk[1], kInk[0]);
  buffer_fill(&popup, platform::Rect{1, 1, w - 2, h - 2}, kBack[2], kBack[1], kBack[0]);
  // Text stays inside the border.
  RasterTarget target = raster_target(&popup, 1, 1, w - 1, h - 1, nullptr);
  for (int i = 0; i < line_count; ++i) {
    face.draw(&target, 1 + kPadX, 1 + kPadY + i * line_height, text + lines[i].begin, lines[i].end - lines[i].begin);
  }
  buffer_release(&t.popup);
  t.popup = popup;
  t.popup_rect = platform::Rect{x, y, w, h};
  t.shown_id = entry.id;
  refresh_rect(x, y, w, h);
  platform::set_timer(kTooltipHideTimer, kTooltipAutoPopMs);
}

}  // namespace

int32_t add_tooltip(int32_t x, int32_t y, int32_t w, int32_t h, const char* text, int32_t level) {
  Tooltips& t = tips();
  if (!t.list.element_size) return base::fail("no tooltip list before the window opens");
  int32_t id = 1;
  while (find(id)) ++id;
  auto* entry = static_cast<TooltipEntry*>(base::array_append(&t.list));
  if (!entry) return base::fail("out of memory for a tooltip");
  entry->id = id;
  entry->level = level;
  std::snprintf(entry->text, sizeof entry->text, "%s", text ? text : "");
  text::oem_to_windows(entry->text, entry->text);
  // Panels (on-screen controls) would move the tool by their origin; none exists, so it is 0, 0.
  // The tool's right and bottom edges are exclusive, one pixel short of x + w and y + h.
  entry->tool = platform::Rect{x, y, w - 1, h - 1};
  entry->max_width = window_width() / 4;
  activate_tooltip(id, 1);
  return id;
}

int activate_tooltip(int32_t id, int32_t on) {
  TooltipEntry* entry = find(id);
  if (!entry) return 0;
  entry->active = on != 0;
  if (!on) {
    if (tips().shown_id == id) hide();
    if (tips().hover_id == id) {
      platform::kill_timer(kTooltipShowTimer);
      tips().hover_id = 0;
    }
  }
  return 1;
}

void show_tooltips_from_level(int32_t level) {
  uint8_t* at = nullptr;
  while (tips().list.element_size && base::array_next(&tips().list, &at)) {
    const auto* entry = reinterpret_cast<const TooltipEntry*>(at);
    activate_tooltip(entry->id, entry->level >= level);
  }
}

int tooltip_text(int32_t id, char* buffer, int32_t size) {
  const TooltipEntry* entry = find(id);
  if (!entry) return 0;
  if (buffer && size > 0) {
    const size_t length = std::min(std::strlen(entry->text), static_cast<size_t>(size - 1));
    std::memcpy(buffer, entry->text, length);
    buffer[length] = '\0';
  }
  return 1;
}

int remove_tooltip(int32_t id) {
  TooltipEntry* entry = find(id);
  if (!entry) return 0;
  activate_tooltip(id, 0);
  if (tips().quiet_id == id) tips().quiet_id = 0;
  base::array_remove(&tips().list, find(id));
  return 1;
}

void tooltips_relay(const platform::Message& message) {
  Tooltips& t = tips();
  if (!t.list.element_size) return;
  if (message.kind == platform::MessageKind::kMouseMove) {
    t.pointer_x = message.a;
    t.pointer_y = message.b;
    const int32_t id = tool_at(message.a, message.b);
    if (id != t.hover_id) {
      hide();
      t.quiet_id = 0;
      t.hover_id = id;
    }
    // Until its popup is up, a tool restarts the wait on every move: the pointer must rest.
    if (id && !t.shown_id && id != t.quiet_id) {
      platform::set_timer(kTooltipShowTimer, kTooltipInitialMs);
    } else if (!id) {
      platform::kill_timer(kTooltipShowTimer);
    }
    return;
  }
  if (message.kind == platform::MessageKind::kButtonDown) {
    hide();
    platform::kill_timer(kTooltipShowTimer);
    t.quiet_id = t.hover_id;
  }
}

void tooltips_timer(int32_t id) {
  Tooltips& t = tips();
  if (id == kTooltipShowTimer) {
    const TooltipEntry* entry = find(t.hover_id);
    if (entry && entry->active && t.hover_id != t.quiet_id && !t.shown_id) show(*entry);
  } else if (id == kTooltipHideTimer) {
    hide();
    t.quiet_id = t.hover_id;
  }
}

void tooltips_release() {
  Tooltips& t = tips();
  platform::kill_timer(kTooltipShowTimer);
  platform::kill_timer(kTooltipHideTimer);
  if (t.list.element_size) base::array_release(&t.list);
  buffer_release(&t.popup);
  if (t.font) {
    system_font_release(t.font);
    base::heap_free(t.font);
  }
  font_library_release(&t.library);
  t = Tooltips{};
}

}  // namespace lumra::graphics
