// The SDL2 backend: a real, non-resizable window whose back buffer reaches the screen without
// OpenGL, SDL events translated into the core's messages, SDL's SIGINT/SIGTERM quit as a close
// request. Needs no SDL header: the key mapping helpers take SDL's numbers as plain integers.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace lumra::platform::sdl2 {

const Backend* backend();

// How presented pixels reach the window: copied into SDL's window surface (the default, measured
// fastest) or through SDL's software renderer and a streaming texture. Chosen before the window
// opens; a later change applies to the next run.
enum class PresentPath { kWindowSurface, kSoftwareRenderer };
void set_present_path(PresentPath path);
PresentPath present_path();

// True when the video driver SDL chose stands for a real display. SDL falls back silently to its
// "offscreen" (or "dummy") driver when nothing else works: that counts as no display unless the
// SDL_VIDEODRIVER value (a comma-separated list) asked for that driver by name.
bool driver_is_display(const char* driver, const char* requested);

// Native key to virtual key (Windows numbering): SDL keycode first, the key's position (SDL
// scancode) for letters and digits of non-Latin layouts; the keypad follows Num Lock. 0: no key.
int32_t virtual_key(int32_t sdl_keycode, int32_t sdl_scancode, bool num_lock);
// The control character a keyboard driver types for a virtual key, which SDL's text input leaves
// out (Backspace, Tab, Enter, Escape, Ctrl+letter); 0 for none. Alt without Ctrl types none.
int32_t control_character(int32_t virtual_key, bool ctrl, bool alt);
// SDL's key and scancode names ("F4", "Keypad 7"), for tests and diagnostics.
int32_t keycode_from_name(const char* name);
int32_t scancode_from_name(const char* name);

}  // namespace lumra::platform::sdl2
