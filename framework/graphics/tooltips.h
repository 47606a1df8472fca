// Tooltips: a list of tools (a rectangle of the window and a text each), shown as a small popup
// when the pointer rests in a tool's rectangle. The popup is drawn over the presented frame,
// never into the back buffer, and goes on a button press, when the pointer leaves, or after 5 s.
// Its text is set in the desktop's own small face (the system's default sans-serif, 9 points), or in the
// framework's stroke font 0 on a system without fonts.
#pragma once

#include <cstdint>

#include "framework/base/dynarray.h"
#include "framework/graphics/back_buffer.h"
#include "framework/graphics/system_font.h"
#include "platform/platform.h"

namespace lumra::graphics {

inline constexpr int32_t kTooltipTextSize = 512;  // NUL included: at most 511 characters
inline constexpr uint32_t kTooltipInitialMs = 500;
inline constexpr uint32_t kTooltipAutoPopMs = 5000;
inline constexpr int32_t kTooltipShowTimer = 0x7401;
inline constexpr int32_t kTooltipHideTimer = 0x7402;
// The popup's em: 9 points at 96 dots per inch, the size desktop tooltips use.
inline constexpr int32_t kTooltipFontPixels = 12;

struct TooltipEntry {
  int32_t id;     // 1, 2, 3 ...: the lowest number not in use when made
  int32_t level;  // shown from this level on
  int32_t active;
  platform::Rect tool;  // window coordinates
  int32_t max_width;    // of the popup, pixels
  char text[kTooltipTextSize];  // Windows characters
};

struct Tooltips {
  base::DynArray list;  // TooltipEntry; set up when the window opens
  int32_t hover_id;     // the tool under the pointer, 0: none
  int32_t shown_id;     // the tool whose popup is up, 0: none
  int32_t quiet_id;     // a tool that stays quiet until the pointer leaves it (pressed, timed out)
  int32_t pointer_x;
  int32_t pointer_y;
  PaintBuffer popup;         // the popup's pixels while one is up
  platform::Rect popup_rect;  // where it is, window coordinates
  FontLibrary* library;  // the popup's own FreeType library
  SystemFont* font;      // the desktop's default face (framework heap); null: font 0's strokes
  bool font_tried;
};

// Id of the new tool, or 0 (no window yet, no memory). Rectangle in panel coordinates; the text is
// OEM and cut to 511 characters.
int32_t add_tooltip(int32_t x, int32_t y, int32_t w, int32_t h, const char* text, int32_t level);
int activate_tooltip(int32_t id, int32_t on);
void show_tooltips_from_level(int32_t level);
// 1 and the (Windows) text, at most size - 1 characters and terminated; 0 when no tool has the id.
int tooltip_text(int32_t id, char* buffer, int32_t size);
int remove_tooltip(int32_t id);

// The window procedure's relay of mouse messages, and its timer messages.
void tooltips_relay(const platform::Message& message);
void tooltips_timer(int32_t id);
// Frees the list, the popup and the font.
void tooltips_release();

}  // namespace lumra::graphics
