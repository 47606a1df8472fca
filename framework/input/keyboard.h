// The key poll's globals in one place (pushed codes, keyboard macros, key hooks, the Alt hold),
// with the reset tests use. Single-threaded; everything lives for the run.
#pragma once

#include <cstdint>

#include "framework/input/key_hooks.h"

namespace lumra::input {

inline constexpr int32_t kPushedCodes = 32;
inline constexpr int32_t kMacroSlots = 32;
inline constexpr int32_t kMacroCodes = 1024;

inline constexpr int32_t kMacroIdle = 0;
inline constexpr int32_t kMacroRecordingKeys = 1;
inline constexpr int32_t kMacroPlayingKeys = 2;

struct MacroSlot {
  int32_t key;     // the hot key that plays it
  int32_t count;   // codes recorded, 0..kMacroCodes
  int32_t* codes;  // kMacroCodes entries (framework heap); null: the slot is free
};

struct KeyboardState {
  int32_t pushed[kPushedCodes];
  int32_t pushed_count;
  MacroSlot slots[kMacroSlots];
  int32_t macro_state;     // kMacroIdle, kMacroRecordingKeys, kMacroPlayingKeys
  int32_t macro_slot;      // the slot recording or playing
  int32_t position;        // playback: index of the next code
  int32_t countdown;       // playback: peeks left before the next code shows
  uint32_t last_delivery;  // playback: clock of the last code taken
  bool macros_disabled;    // Ctrl+F5 is swallowed
  KeyHook hooks[kKeyHookSlots];
  bool alt_held;           // Alt alone was held at the last poll
  uint32_t alt_start;      // clock when that hold was first seen
};
extern KeyboardState g_keyboard;

// Frees the macros' storage and returns every field to its start value.
void keyboard_reset();

}  // namespace lumra::input
