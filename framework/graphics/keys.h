// Key translation: a key press (a virtual key of platform/keys.h) and the modifier state give the
// framework's 32-bit input code. Characters are themselves; other keys are scan code x 256 in the
// classic PC keyboard style, with codes of the framework's own (low byte 0xFF) for shifted keys.
#pragma once

#include <cstdint>

#include "platform/keys.h"

namespace lumra::graphics {

// Event codes that share the key queue.
inline constexpr int32_t kCodeWindowClose = 32752;  // 0x7FF0: close box, Alt+F4, quit request
inline constexpr int32_t kCodeDialogCancel = 32753;
inline constexpr int32_t kCodeWindowRestored = 32754;
inline constexpr int32_t kCodeShiftTab = 0x0F00;
inline constexpr int32_t kCodeTab = 0x0F09;
// Codes the key poll acts on.
inline constexpr int32_t kCodeEscape = 27;
inline constexpr int32_t kCodeF1 = 0x3B00;
inline constexpr int32_t kCodeShiftF1 = 0x5400;
inline constexpr int32_t kCodeCtrlF1 = 0x5E00;
inline constexpr int32_t kCodeAltF1 = 0x6800;
inline constexpr int32_t kCodeCtrlF5 = 0x6200;         // starts and ends keyboard macro recording
inline constexpr int32_t kCodeShiftPageUp = 0x0CFF;    // plays a macro log, or stops one
inline constexpr int32_t kCodeShiftPageDown = 0x0DFF;  // records a macro log, or stops one

// Applies a key press to the modifier state (Shift, Ctrl, Alt held; Caps and Scroll Lock toggled)
// and returns the code it queues, or 0: a digit without Alt, a letter without Ctrl or Alt and
// every other key type characters instead. Modifiers pick the code in the order Ctrl, Shift, Alt;
// a combination without a code of its own gives the plain key's code. Alt+F4 alone gives 32752.
int32_t translate_key(int32_t virtual_key, uint32_t* modifiers);

// The scan code of a letter key ('A'..'Z' or 'a'..'z'), 0 for anything else.
int32_t letter_scan_code(int32_t letter);

// The conversions by the scan-code table: a lower-case letter or a digit to its Alt code (Alt+A
// 0x1E00, Alt+1 .. Alt+9 0x7800 .. 0x8000, Alt+0 0x8100), an Alt code back to its letter or digit,
// a lower-case letter to its Ctrl code (Ctrl+A 0x1E01). Anything else is returned unchanged.
int32_t letter_to_alt_code(int32_t letter);
int32_t alt_code_to_letter(int32_t code);
int32_t letter_to_ctrl_code(int32_t letter);

}  // namespace lumra::graphics
