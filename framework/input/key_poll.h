// The key poll: how programs read the keyboard, console style. A waiting poll takes the next code;
// a peek answers what the next waiting poll would return, or 0, and leaves it in place. Between
// the window's key queue and the caller stand, in this order: the Alt-hold overlay that shows the
// clickable areas' hot keys, codes the program pushed back, keyboard macro playback, macro log
// playback or recording, the macro commands (Ctrl+F5; Shift+Page Down and Shift+Page Up for
// logs), the clickable areas' hot keys and the key hooks.
//
// Codes: characters are themselves (their low byte, for any code whose low byte is 32..254, 8, 13
// or 27), other keys scan code x 256 (graphics/keys.h); 32752, 32753 and 32754 are events.
// Window procedures and periodic callbacks run inside the poll; it returns 0 for a key it used
// itself (a macro command, an area's hot key, a key a hook swallowed).
#pragma once

#include <cstdint>

namespace lumra::input {

inline constexpr int32_t kKeyWait = 0;
inline constexpr int32_t kKeyPeek = 1;

// Mode kKeyWait or kKeyPeek; any other mode is handed to the key queue's reader after the Alt-hold
// step (mode 2: the modifier state). A waiting poll returns 0 at once when no input can ever
// arrive (no window).
int32_t key_poll(int32_t mode);
inline int32_t wait_key() { return key_poll(kKeyWait); }
inline int32_t peek_key() { return key_poll(kKeyPeek); }

// Pushes a code for the next poll to return before anything else (the latest pushed first). 0 is
// ignored, and so is any code while 32 are pushed already. Pushed codes bypass macros and recording.
void push_key(int32_t code);

}  // namespace lumra::input
