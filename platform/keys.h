// The key vocabulary of the platform contract. Backends report keys as virtual keys in Windows
// numbering (kKeyDown and kKeyUp messages) and the held modifiers as the bits below (kFocusGained);
// the framework keeps its modifier state in the same bits, adding the two lock toggles.
#pragma once

#include <cstdint>

namespace lumra::platform {

// Virtual keys. The digits '0'..'9' and the letters 'A'..'Z' are their own virtual keys.
inline constexpr int32_t kVkBack = 8;
inline constexpr int32_t kVkTab = 9;
inline constexpr int32_t kVkClear = 12;  // keypad 5 without Num Lock
inline constexpr int32_t kVkReturn = 13;
inline constexpr int32_t kVkShift = 16;
inline constexpr int32_t kVkControl = 17;
inline constexpr int32_t kVkMenu = 18;  // Alt
inline constexpr int32_t kVkPause = 19;
inline constexpr int32_t kVkCapital = 20;  // Caps Lock
inline constexpr int32_t kVkEscape = 27;
inline constexpr int32_t kVkSpace = 32;
inline constexpr int32_t kVkPrior = 33;  // Page Up
inline constexpr int32_t kVkNext = 34;   // Page Down
inline constexpr int32_t kVkEnd = 35;
inline constexpr int32_t kVkHome = 36;
inline constexpr int32_t kVkLeft = 37;
inline constexpr int32_t kVkUp = 38;
inline constexpr int32_t kVkRight = 39;
inline constexpr int32_t kVkDown = 40;
inline constexpr int32_t kVkSnapshot = 44;  // Print Screen
inline constexpr int32_t kVkInsert = 45;
inline constexpr int32_t kVkDelete = 46;
inline constexpr int32_t kVkLeftWindows = 91;
inline constexpr int32_t kVkRightWindows = 92;
inline constexpr int32_t kVkApps = 93;     // the context-menu key
inline constexpr int32_t kVkNumpad0 = 96;  // .. kVkNumpad0 + 9, with Num Lock
inline constexpr int32_t kVkMultiply = 106;
inline constexpr int32_t kVkAdd = 107;
inline constexpr int32_t kVkSubtract = 109;
inline constexpr int32_t kVkDecimal = 110;
inline constexpr int32_t kVkDivide = 111;
inline constexpr int32_t kVkF1 = 112;  // .. kVkF12, then kVkF13 .. kVkF24
inline constexpr int32_t kVkF12 = 123;
inline constexpr int32_t kVkF13 = 124;
inline constexpr int32_t kVkF24 = 135;
inline constexpr int32_t kVkNumLock = 144;
inline constexpr int32_t kVkScroll = 145;  // Scroll Lock
// The punctuation keys of a US layout.
inline constexpr int32_t kVkSemicolon = 186;
inline constexpr int32_t kVkEquals = 187;
inline constexpr int32_t kVkComma = 188;
inline constexpr int32_t kVkMinus = 189;
inline constexpr int32_t kVkPeriod = 190;
inline constexpr int32_t kVkSlash = 191;
inline constexpr int32_t kVkBackquote = 192;
inline constexpr int32_t kVkLeftBracket = 219;
inline constexpr int32_t kVkBackslash = 220;
inline constexpr int32_t kVkRightBracket = 221;
inline constexpr int32_t kVkQuote = 222;

// Modifier bits: the three held keys, which backends report, and the two lock toggles, which the
// framework keeps itself.
inline constexpr uint32_t kModShift = 1;
inline constexpr uint32_t kModCtrl = 4;
inline constexpr uint32_t kModAlt = 8;
inline constexpr uint32_t kModScrollLock = 16;
inline constexpr uint32_t kModCapsLock = 64;
inline constexpr uint32_t kModHeld = kModShift | kModCtrl | kModAlt;

}  // namespace lumra::platform
