// The macro notifier: one optional callback the program installs to follow keyboard macros and
// macro logs (a recording indicator, say). Shared by the key poll and the macro log.
#pragma once

#include <cstdint>

namespace lumra::input {

// Events and their two arguments:
//   (kMacroEnded, slot, 0)        recording or playback ended ((0, 0, 0) for logs and overflows)
//   (kMacroRecorded, count, 1024) a code was recorded; (1, 0, 0) recording started
//   (kMacroPlayed, position, count) a code was played
//   (kMacroPrompt, 1, 0) and (kMacroPrompt, 0, 0) the poll starts and stops waiting for the key
//   that completes a macro command
//   (1 or 2, 0, 0) a log starts recording or playing
inline constexpr int32_t kMacroEnded = 0;
inline constexpr int32_t kMacroRecorded = 1;
inline constexpr int32_t kMacroPlayed = 2;
inline constexpr int32_t kMacroPrompt = 4;

using MacroNotifier = void (*)(int32_t event, int32_t a, int32_t b);

// Null: none (the start value). Returns the previous notifier.
MacroNotifier set_macro_notifier(MacroNotifier notifier);
// Tells the notifier, if there is one.
void notify_macro(int32_t event, int32_t a, int32_t b);

}  // namespace lumra::input
