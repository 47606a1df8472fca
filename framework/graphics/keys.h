// Key translation: a key press (virtual key, Windows numbering) and the modifier state give the
// framework's 32-bit input code. Characters are themselves; other keys are scan code x 256 in the
// classic PC keyboard style, with codes of the framework's own (low byte 0xFF) for shifted keys.
#pragma once

#include <cstdint>

namespace lumra::graphics {

// Virtual keys the translation looks at.
inline constexpr int32_t kVkBack = 8;
inline constexpr int32_t kVkTab = 9;
inline constexpr int32_t kVkReturn = 13;
inline constexpr int32_t kVkShift = 16;
inline constexpr int32_t kVkControl = 17;
inline constexpr int32_t kVkMenu = 18;  // Alt
inline constexpr int32_t kVkCapital = 20;
inline constexpr int32_t kVkEscape = 27;
inline constexpr int32_t kVkPrior = 33;  // Page Up
inline constexpr int32_t kVkNext = 34;   // Page Down
inline constexpr int32_t kVkEnd = 35;
inline constexpr int32_t kVkHome = 36;
inline constexpr int32_t kVkLeft = 37;
inline constexpr int32_t kVkUp = 38;
inline constexpr int32_t kVkRight = 39;
inline constexpr int32_t kVkDown = 40;
inline constexpr int32_t kVkInsert = 45;
inline constexpr int32_t kVkDelete = 46;
inline constexpr int32_t kVkF1 = 112;
inline constexpr int32_t kVkF12 = 123;
inline constexpr int32_t kVkScroll = 145;  // keys above it are ignored

// Modifier state bits.
inline constexpr uint32_t kModShift = 1;
inline constexpr uint32_t kModCtrl = 4;
inline constexpr uint32_t kModAlt = 8;
inline constexpr uint32_t kModScrollLock = 16;
inline constexpr uint32_t kModCapsLock = 64;

// Event codes that share the key queue.
inline constexpr int32_t kCodeWindowClose = 32752;  // 0x7FF0: close box, Alt+F4, quit request
inline constexpr int32_t kCodeDialogCancel = 32753;
inline constexpr int32_t kCodeWindowRestored = 32754;
inline constexpr int32_t kCodeShiftTab = 0x0F00;
inline constexpr int32_t kCodeTab = 0x0F09;

// Applies a key press to the modifier state (Shift, Ctrl, Alt held; Caps and Scroll Lock toggled)
// and returns the code it queues, or 0: a digit without Alt, a letter without Ctrl or Alt and
// every other key type characters instead. Modifiers pick the code in the order Ctrl, Shift, Alt;
// a combination without a code of its own gives the plain key's code. Alt+F4 alone gives 32752.
int32_t translate_key(int32_t virtual_key, uint32_t* modifiers);

// The scan code of a letter key ('A'..'Z' or 'a'..'z'), 0 for anything else.
int32_t letter_scan_code(int32_t letter);

}  // namespace lumra::graphics
