// The key poll in its order: the Alt-hold overlay, choosing the code (pushed, keyboard macro, log
// or key queue), the macro commands, then the final treatment (reduction, area hot keys, hooks).
#include "framework/input/key_poll.h"

#include "framework/graphics/key_queue.h"
#include "framework/graphics/keys.h"
#include "framework/input/alt_overlay.h"
#include "framework/input/clickable_areas.h"
#include "framework/input/keyboard.h"
#include "framework/input/keyboard_macros.h"
#include "framework/input/macro_log.h"
#include "framework/input/macro_notifier.h"

namespace lumra::input {
namespace {

KeyboardState& kb() { return g_keyboard; }

// While a log plays its keys replace the keyboard's: real keys are dropped, except that Shift+Page
// Up or Shift+Page Down among them stops the log.
int32_t log_code(int32_t mode) {
  int32_t code = 0;
  macro_hook(nullptr, nullptr, nullptr, &code, mode);
  while (graphics::input_waiting()) {
    const int32_t real = graphics::read_input(0);
    if (real == graphics::kCodeShiftPageUp || real == graphics::kCodeShiftPageDown) macro_log_request_stop();
  }
  return code;
}

// Step 2 of the poll: the code and, through from_pushed, whether it was a pushed one.
int32_t choose_code(int32_t mode, bool* from_pushed) {
  KeyboardState& k = kb();
  *from_pushed = k.pushed_count > 0;
  if (*from_pushed) return mode == 0 ? k.pushed[--k.pushed_count] : k.pushed[k.pushed_count - 1];
  int32_t code = 0;
  if (macro_playback_code(mode, &code)) return code;
  if (macro_log_state() == kLogPlaying) {
    code = log_code(mode);
  } else {
    code = graphics::read_input(mode);
    macro_hook(nullptr, nullptr, nullptr, &code, mode);
  }
  start_macro_by_hot_key(mode, &code);
  return code;
}

// A code a peek has used up (an area's hot key, a key a hook swallowed) is taken from where it
// waits, as a waiting poll would take it, and recorded like any key taken. Commands, hot keys and
// hooks do not run for it a second time.
void take_peeked_code() {
  bool from_pushed = false;
  const int32_t code = choose_code(0, &from_pushed);
  if (!from_pushed) record_macro_code(code);
}

// Shift+Page Down (record) or Shift+Page Up (play): stops an active log, or asks for the digit of
// the log and arms it.
void log_command(int32_t code) {
  if (macro_log_active()) {
    macro_log_request_stop();
    return;
  }
  const int32_t mode = code == graphics::kCodeShiftPageDown ? kLogRecording : kLogPlaying;
  const int32_t digit = prompt_for_key();
  if (macro_log_arm(mode, digit)) notify_macro(mode, 0, 0);
}

int32_t lower(int32_t c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// Key codes keep their value; characters compare without case.
int32_t comparable(int32_t code) { return (code & 0xFF00) ? code : lower(code); }

// Marks the area whose item has the code as its hot key: compared as it is, or failing that an
// Alt code by its letter. True when one was found.
bool area_hot_key(int32_t code) {
  const int32_t n = area_item_count();
  const int32_t wanted = comparable(code);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t key = area_item(i).key;
    if (key && comparable(key) == wanted) return activate_area(i), true;
  }
  const int32_t letter = graphics::alt_code_to_letter(code);
  if (letter == code) return false;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t key = area_item(i).key;
    if (key && comparable(key) == letter) return activate_area(i), true;
  }
  return false;
}

bool is_event(int32_t code) {
  return code == graphics::kCodeWindowClose || code == graphics::kCodeDialogCancel ||
         code == graphics::kCodeWindowRestored;
}

// Step 4: events and character codes, then the areas' hot keys and the hooks, which may use the
// code up (a peek then takes it away).
int32_t final_treatment(int32_t code, int32_t mode) {
  if (is_event(code)) {
    clear_pointer_over_area();
  } else {
    const int32_t low = code & 0xFF;
    if ((low >= 32 && low <= 254) || low == 8 || low == 13 || low == 27) code = low;
  }
  if (code != 0 && !areas_exclusive()) {
    if (area_hot_key(code)) {
      if (mode == kKeyPeek) take_peeked_code();
      return 0;
    }
    code = run_key_hooks(code, screen_layer_level());
    if (code == 0) {
      if (mode == kKeyPeek) take_peeked_code();
      return 0;
    }
  }
  if (code != 0) take_down_area_help();
  if (code == graphics::kCodeEscape) clear_pointer_over_area();
  return code;
}

}  // namespace

int32_t key_poll(int32_t mode) {
  alt_overlay_step();
  if (mode != kKeyWait && mode != kKeyPeek) return graphics::read_input(mode);
  bool from_pushed = false;
  int32_t code = choose_code(mode, &from_pushed);
  if (mode == kKeyWait && !from_pushed) {
    if (code == graphics::kCodeCtrlF5) {
      if (macro_record_command(&code)) return 0;
    } else if (code == graphics::kCodeShiftPageDown || code == graphics::kCodeShiftPageUp) {
      log_command(code);
      return 0;
    } else {
      record_macro_code(code);
    }
  }
  return final_treatment(code, mode);
}

void push_key(int32_t code) {
  KeyboardState& k = kb();
  if (code == 0 || k.pushed_count >= kPushedCodes) return;
  k.pushed[k.pushed_count++] = code;
}

}  // namespace lumra::input
