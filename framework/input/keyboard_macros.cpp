// Keyboard macro slots: recording, playback with its pacing, and the Ctrl+F5 command.
#include "framework/input/keyboard_macros.h"

#include <initializer_list>

#include "framework/base/heap.h"
#include "framework/graphics/key_queue.h"
#include "framework/graphics/keys.h"
#include "framework/input/clock.h"
#include "framework/input/input.h"
#include "framework/input/keyboard.h"
#include "framework/input/macro_notifier.h"

namespace lumra::input {
namespace {

// Peeks that report nothing after a code is taken, before the tenth-of-a-second test begins.
constexpr int32_t kPacingPeeks = 12;

KeyboardState& kb() { return g_keyboard; }

void end_macro(int32_t event_slot) {
  kb().macro_state = kMacroIdle;
  notify_macro(kMacroEnded, event_slot, 0);
}

// The slot for a new recording under `key`: the one bound to it already (emptied), else the first
// free one with fresh storage; null when none is free or memory runs out.
MacroSlot* slot_for(int32_t key) {
  for (MacroSlot& slot : kb().slots) {
    if (slot.codes && slot.key == key) {
      slot.count = 0;
      return &slot;
    }
  }
  for (MacroSlot& slot : kb().slots) {
    if (slot.codes) continue;
    auto* codes = static_cast<int32_t*>(base::heap_alloc_zeroed(kMacroCodes, sizeof(int32_t)));
    if (!codes) return nullptr;
    slot = MacroSlot{key, 0, codes};
    return &slot;
  }
  return nullptr;
}

}  // namespace

void set_macros_disabled(bool disabled) { kb().macros_disabled = disabled; }

bool is_macro_key(int32_t code) {
  for (int32_t c = 'a'; c <= 'z'; ++c) {
    if (graphics::letter_to_ctrl_code(c) == code) return true;
  }
  for (const int32_t first : {graphics::kCodeF1, graphics::kCodeShiftF1, graphics::kCodeCtrlF1, graphics::kCodeAltF1}) {
    if (code >= first && code < first + 10 * 0x100 && (code & 0xFF) == 0) return true;
  }
  return false;
}

bool macro_playback_code(int32_t mode, int32_t* code) {
  KeyboardState& k = kb();
  if (k.macro_state != kMacroPlayingKeys) return false;
  const MacroSlot& slot = k.slots[k.macro_slot];
  if (!slot.codes || k.position >= slot.count) {
    end_macro(k.macro_slot);
    return false;
  }
  if (mode == 1) {
    if (k.countdown == 0) {
      *code = slot.codes[k.position];
      return true;
    }
    if (k.countdown >= 2) {
      --k.countdown;
    } else if (static_cast<int32_t>(read_clock() - k.last_delivery) > g_input.ticks_per_second / 10) {
      k.countdown = 0;
    }
    *code = 0;
    return true;
  }
  // A peek started this playback and left the hot key in the queue; the first take removes it.
  if (k.position == 0 && graphics::input_waiting() && graphics::read_input(1) == slot.key) graphics::read_input(0);
  *code = slot.codes[k.position++];
  k.countdown = kPacingPeeks;
  k.last_delivery = read_clock();
  notify_macro(kMacroPlayed, k.position, slot.count);
  return true;
}

void start_macro_by_hot_key(int32_t mode, int32_t* code) {
  KeyboardState& k = kb();
  if (k.macro_state != kMacroIdle || *code == 0) return;
  for (int32_t i = 0; i < kMacroSlots; ++i) {
    const MacroSlot& slot = k.slots[i];
    if (!slot.codes || slot.key != *code) continue;
    k.macro_state = kMacroPlayingKeys;
    k.macro_slot = i;
    *code = slot.codes[0];
    if (mode == 0) {
      // This poll takes the first code: the peeks after it are paced as after any other.
      k.position = 1;
      k.countdown = kPacingPeeks;
      k.last_delivery = read_clock();
    } else {
      k.position = 0;
      k.countdown = 0;
    }
    notify_macro(kMacroPlayed, k.position, slot.count);
    return;
  }
}

void record_macro_code(int32_t code) {
  KeyboardState& k = kb();
  if (k.macro_state != kMacroRecordingKeys || code == 0) return;
  MacroSlot& slot = k.slots[k.macro_slot];
  if (slot.count >= kMacroCodes) {
    // No partial macro remains: the slot is emptied and freed.
    base::heap_free(slot.codes);
    slot = MacroSlot{};
    end_macro(0);
    return;
  }
  slot.codes[slot.count++] = code;
  notify_macro(kMacroRecorded, slot.count, kMacroCodes);
}

bool macro_record_command(int32_t* code) {
  KeyboardState& k = kb();
  if (k.macros_disabled) {
    *code = 0;
    return false;
  }
  if (k.macro_state == kMacroRecordingKeys) {
    end_macro(k.macro_slot);
    return false;
  }
  if (k.macro_state == kMacroPlayingKeys) return false;
  int32_t key = 0;
  do {
    key = prompt_for_key();
    drain_key_queue();
    // Escape cancels; so does a reader that can deliver nothing any more.
    if (key == graphics::kCodeEscape || key == 0) return false;
  } while (!is_macro_key(key));
  MacroSlot* slot = slot_for(key);
  if (!slot) return false;
  k.macro_state = kMacroRecordingKeys;
  k.macro_slot = static_cast<int32_t>(slot - k.slots);
  notify_macro(kMacroRecorded, 0, 0);
  return true;
}

int32_t prompt_for_key() {
  notify_macro(kMacroPrompt, 1, 0);
  drain_key_queue();
  const int32_t key = graphics::read_input(0);
  notify_macro(kMacroPrompt, 0, 0);
  return key;
}

void drain_key_queue() {
  while (graphics::input_waiting()) graphics::read_input(0);
}

}  // namespace lumra::input
