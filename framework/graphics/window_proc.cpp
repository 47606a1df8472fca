// The window procedure's handling, message by message. Keys reach the queue only through
// translate_key and the character path; the procedure never resizes or closes the window.
#include "framework/graphics/window_proc.h"

#include <string>

#include "framework/graphics/graphics.h"
#include "framework/graphics/keys.h"
#include "framework/input/mouse.h"
#include "framework/text/oem.h"
#include "platform/keys.h"

namespace lumra::graphics {
namespace {

using platform::kModAlt;
using platform::kModCtrl;
using platform::kModHeld;
using platform::kModShift;
using platform::Message;
using platform::MessageKind;

KeyQueue& keys() { return g_graphics.keys; }

// A typed character as the Windows (1252) code the rest of the path expects; '?' when 1252 lacks it.
int32_t windows_code(int32_t code_point) {
  if (code_point >= 0 && code_point < 0x80) return code_point;
  char utf8[5] = {};
  const auto cp = static_cast<uint32_t>(code_point);
  if (cp < 0x800) {
    utf8[0] = static_cast<char>(0xC0 | (cp >> 6));
    utf8[1] = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    utf8[0] = static_cast<char>(0xE0 | (cp >> 12));
    utf8[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    utf8[2] = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x110000) {
    utf8[0] = static_cast<char>(0xF0 | (cp >> 18));
    utf8[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    utf8[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    utf8[3] = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    return '?';
  }
  const std::string windows = text::utf8_to_windows(utf8);
  return windows.size() == 1 ? static_cast<uint8_t>(windows[0]) : '?';
}

void key_down(int32_t virtual_key) {
  keys().drop = 0;
  const int32_t code = translate_key(virtual_key, &keys().modifiers);
  if (!code) return;
  // A Ctrl+letter code carries its control character; the character message the same stroke
  // produces must not queue it a second time.
  const int32_t low = code & 0xFF;
  if (code > 0xFF && low >= 1 && low <= 26) keys().drop = static_cast<uint32_t>(low);
  queue_code(code);
}

void key_up(int32_t virtual_key) {
  if (virtual_key == platform::kVkShift) keys().modifiers &= ~kModShift;
  if (virtual_key == platform::kVkControl) keys().modifiers &= ~kModCtrl;
  if (virtual_key == platform::kVkMenu) keys().modifiers &= ~kModAlt;
}

void character(int32_t code_point) {
  int32_t code = windows_code(code_point);
  if (code == '\t') code = (keys().modifiers & kModShift) ? kCodeShiftTab : kCodeTab;
  const uint32_t drop = keys().drop;
  keys().drop = 0;
  if (drop != 0 && static_cast<uint32_t>(code & 0xFF) == drop) return;
  queue_code(code);
}

int32_t clamp(int32_t v, int32_t limit) {
  if (v >= limit) v = limit - 1;
  return v < 0 ? 0 : v;
}

}  // namespace

void window_procedure(const Message& m) {
  const bool relayed = m.kind == MessageKind::kMouseMove ||
                       ((m.kind == MessageKind::kButtonDown || m.kind == MessageKind::kButtonUp) &&
                        (m.a == platform::kButtonLeft || m.a == platform::kButtonRight));
  if (relayed) tooltips_relay(m);

  Gwin& g = g_graphics.gwin;
  switch (m.kind) {
    case MessageKind::kMove: {
      platform::WindowInfo info{};
      if (platform::window_info(&info) && !info.minimized && !info.hidden) g.window_info = info;
      break;
    }
    case MessageKind::kPaint: refresh_rect(m.a, m.b, m.c, m.d); break;
    case MessageKind::kClose: queue_code(kCodeWindowClose); break;
    case MessageKind::kFocusGained:
      // Held keys are read afresh; the lock toggles start clear.
      keys().modifiers = static_cast<uint32_t>(m.a) & kModHeld;
      break;
    case MessageKind::kFocusLost: keys().modifiers = 0; break;
    case MessageKind::kFrameMouseMove:
      input::mouse_moved(clamp(m.a - g.window_info.client.x, g.client_width),
                         clamp(m.b - g.window_info.client.y, g.client_height));
      break;
    case MessageKind::kKeyDown: key_down(m.a); break;
    case MessageKind::kKeyUp: key_up(m.a); break;
    case MessageKind::kChar: character(m.a); break;
    case MessageKind::kSysChar: break;  // Alt+key: a menu mnemonic, not text
    case MessageKind::kMouseMove:
      input::forget_cursor();
      input::mouse_moved(m.a & 0xFFFF, m.b & 0xFFFF);
      break;
    case MessageKind::kButtonDown:
      input::forget_cursor();
      // The press time is the clock's tick; the clock is not pumped again from in here.
      input::mouse_button_down(m.a, platform::ticks());
      break;
    case MessageKind::kButtonUp:
      input::forget_cursor();
      input::mouse_button_up(m.a);
      break;
    case MessageKind::kWheel: input::mouse_wheel(m.a, platform::ticks()); break;
    case MessageKind::kTimer: tooltips_timer(m.a); break;
    case MessageKind::kNone: break;
  }
}

}  // namespace lumra::graphics
