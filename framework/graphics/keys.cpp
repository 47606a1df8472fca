// The key translation tables: function keys by modifier, the navigation keys' three codes, the
// letters' scan codes.
#include "framework/graphics/keys.h"

namespace lumra::graphics {
namespace {

using platform::kModAlt;
using platform::kModCapsLock;
using platform::kModCtrl;
using platform::kModScrollLock;
using platform::kModShift;
using platform::kVkCapital;
using platform::kVkControl;
using platform::kVkDelete;
using platform::kVkDown;
using platform::kVkEnd;
using platform::kVkF1;
using platform::kVkF12;
using platform::kVkHome;
using platform::kVkInsert;
using platform::kVkLeft;
using platform::kVkMenu;
using platform::kVkNext;
using platform::kVkPrior;
using platform::kVkRight;
using platform::kVkScroll;
using platform::kVkShift;
using platform::kVkUp;

// Scan codes of a..z.
constexpr uint8_t kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                     0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

struct NavigationKey {
  int32_t vk;
  int32_t plain;
  int32_t shift;
  int32_t ctrl;  // 0: Ctrl is ignored for this key
};

constexpr NavigationKey kNavigation[] = {
    {kVkPrior, 0x4900, 0x0CFF, 0x8400}, {kVkNext, 0x5100, 0x0DFF, 0x7600},  {kVkEnd, 0x4F00, 0x0BFF, 0x7500},
    {kVkHome, 0x4700, 0x0AFF, 0x7700},  {kVkLeft, 0x4B00, 0x07FF, 0x7300},  {kVkUp, 0x4800, 0x06FF, 0},
    {kVkRight, 0x4D00, 0x08FF, 0x7400}, {kVkDown, 0x5000, 0x09FF, 0},       {kVkInsert, 0x5200, 0x02FF, 0x01FF},
    {kVkDelete, 0x5300, 0x04FF, 0x03FF},
};

// F1..F12: plain, Shift, Ctrl and Alt codes; 0 where the key has no code for that modifier.
struct FunctionKey {
  int32_t plain;
  int32_t shift;
  int32_t ctrl;
  int32_t alt;
};

constexpr FunctionKey function_key(int index) {
  if (index < 10) {
    const int32_t step = 0x100 * index;
    return FunctionKey{0x3B00 + step, 0x5400 + step, 0x5E00 + step, 0x6800 + step};
  }
  // F11 and F12 carry codes after F10's; of their combinations only Alt+F11 has one. Continuing
  // the sequences would collide with Ctrl+F1, Alt+F1 and Ctrl+Left.
  return index == 10 ? FunctionKey{0x4500, 0, 0, 0x7200} : FunctionKey{0x4600, 0, 0, 0};
}

}  // namespace

int32_t letter_scan_code(int32_t letter) {
  if (letter >= 'a' && letter <= 'z') return kLetterScan[letter - 'a'];
  if (letter >= 'A' && letter <= 'Z') return kLetterScan[letter - 'A'];
  return 0;
}

int32_t letter_to_alt_code(int32_t letter) {
  if (letter >= 'a' && letter <= 'z') return kLetterScan[letter - 'a'] << 8;
  // The digit row's scan codes after Alt's own offset: 1..9 then 0.
  if (letter >= '1' && letter <= '9') return 0x7800 + 0x100 * (letter - '1');
  if (letter == '0') return 0x8100;
  return letter;
}

int32_t alt_code_to_letter(int32_t code) {
  for (int32_t c = 'a'; c <= 'z'; ++c) {
    if (letter_to_alt_code(c) == code) return c;
  }
  for (int32_t c = '0'; c <= '9'; ++c) {
    if (letter_to_alt_code(c) == code) return c;
  }
  return code;
}

int32_t letter_to_ctrl_code(int32_t letter) {
  if (letter >= 'a' && letter <= 'z') return kLetterScan[letter - 'a'] << 8 | (letter - 'a' + 1);
  return letter;
}

int32_t translate_key(int32_t virtual_key, uint32_t* modifiers) {
  if (virtual_key < 0 || virtual_key > kVkScroll) return 0;
  switch (virtual_key) {
    case kVkShift: *modifiers |= kModShift; return 0;
    case kVkControl: *modifiers |= kModCtrl; return 0;
    case kVkMenu: *modifiers |= kModAlt; return 0;
    case kVkCapital: *modifiers ^= kModCapsLock; return 0;
    case kVkScroll: *modifiers ^= kModScrollLock; return 0;
    default: break;
  }
  const bool ctrl = *modifiers & kModCtrl;
  const bool shift = *modifiers & kModShift;
  const bool alt = *modifiers & kModAlt;

  if (virtual_key >= kVkF1 && virtual_key <= kVkF12) {
    const int index = virtual_key - kVkF1;
    if (index == 3 && alt && !ctrl && !shift) return kCodeWindowClose;
    const FunctionKey f = function_key(index);
    if (ctrl) return f.ctrl ? f.ctrl : f.plain;
    if (shift) return f.shift ? f.shift : f.plain;
    if (alt) return f.alt ? f.alt : f.plain;
    return f.plain;
  }
  for (const NavigationKey& key : kNavigation) {
    if (key.vk != virtual_key) continue;
    if (ctrl && key.ctrl) return key.ctrl;
    return shift ? key.shift : key.plain;
  }
  if (virtual_key >= '0' && virtual_key <= '9') return alt ? letter_to_alt_code(virtual_key) : 0;
  if (virtual_key >= 'A' && virtual_key <= 'Z') {
    const int32_t letter = virtual_key - 'A' + 'a';
    if (ctrl) return letter_to_ctrl_code(letter);
    return alt ? letter_to_alt_code(letter) : 0;
  }
  return 0;
}

}  // namespace lumra::graphics
