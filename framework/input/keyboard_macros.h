// Keyboard macros: up to 32 sequences of up to 1024 codes, each recorded under a hot key (Ctrl+F5,
// the hot key, the keys, Ctrl+F5) and played back when the hot key is read, with peeks paced so
// that a program watching for keys sees one about every tenth of a second. The pieces the key poll
// calls in its order; the state is in keyboard.h.
#pragma once

#include <cstdint>

namespace lumra::input {

// Swallowing Ctrl+F5 (on) keeps users from recording; off at start.
void set_macros_disabled(bool disabled);
// The 66 keys a macro can be recorded under: Ctrl+A .. Ctrl+Z, and F1 .. F10 alone, with Shift,
// with Ctrl and with Alt.
bool is_macro_key(int32_t code);

// While a macro plays: its next code in *code and true (a paced peek gives 0). False when no
// macro plays, or when the one playing has just ended (the code then comes from elsewhere).
bool macro_playback_code(int32_t mode, int32_t* code);
// With no macro recording or playing, a code that is a macro's hot key starts its playback and
// becomes the macro's first code.
void start_macro_by_hot_key(int32_t mode, int32_t* code);
// Appends a code (0 is no key and is left out) to the macro recording, if one is; the 1025th code
// ends the recording and discards the whole macro.
void record_macro_code(int32_t code);
// Ctrl+F5 (in *code) in a waiting poll: ends a recording, or prompts for a macro key and starts
// recording under it. True when recording has started (the poll then returns 0); otherwise *code
// is what the poll goes on with: Ctrl+F5, or 0 when macros are disabled.
bool macro_record_command(int32_t* code);

// The prompt of a macro command: tells the notifier (4, 1, 0), drops the queued codes, waits for
// one, tells the notifier (4, 0, 0) and returns it (0 when none can ever arrive).
int32_t prompt_for_key();
// Drops every code in the key queue.
void drain_key_queue();

}  // namespace lumra::input
