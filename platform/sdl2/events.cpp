// SDL events into the core's messages: keys through the virtual-key table, text input as
// characters (control characters added the way a keyboard driver types them), the pointer split
// into client and frame positions, quit and the close box both as close requests.
#include <climits>

#include "platform/sdl2/sdl2_internal.h"

namespace lumra::platform::sdl2 {
namespace {

struct KeyPair {
  SDL_Keycode key;
  int32_t vk;
};

// Keys whose virtual key does not follow from a range below.
constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, kVkBack},       {SDLK_TAB, kVkTab},              {SDLK_RETURN, kVkReturn},
    {SDLK_KP_ENTER, kVkReturn},      {SDLK_PAUSE, kVkPause},          {SDLK_CAPSLOCK, kVkCapital},
    {SDLK_ESCAPE, kVkEscape},        {SDLK_SPACE, kVkSpace},          {SDLK_PAGEUP, kVkPrior},
    {SDLK_PAGEDOWN, kVkNext},        {SDLK_END, kVkEnd},              {SDLK_HOME, kVkHome},
    {SDLK_LEFT, kVkLeft},            {SDLK_UP, kVkUp},                {SDLK_RIGHT, kVkRight},
    {SDLK_DOWN, kVkDown},            {SDLK_PRINTSCREEN, kVkSnapshot}, {SDLK_INSERT, kVkInsert},
    {SDLK_DELETE, kVkDelete},        {SDLK_LSHIFT, kVkShift},         {SDLK_RSHIFT, kVkShift},
    {SDLK_LCTRL, kVkControl},        {SDLK_RCTRL, kVkControl},        {SDLK_LALT, kVkMenu},
    {SDLK_RALT, kVkMenu},            {SDLK_LGUI, kVkLeftWindows},     {SDLK_RGUI, kVkRightWindows},
    {SDLK_APPLICATION, kVkApps},     {SDLK_KP_MULTIPLY, kVkMultiply}, {SDLK_KP_PLUS, kVkAdd},
    {SDLK_KP_MINUS, kVkSubtract},    {SDLK_KP_DIVIDE, kVkDivide},     {SDLK_NUMLOCKCLEAR, kVkNumLock},
    {SDLK_SCROLLLOCK, kVkScroll},    {SDLK_SEMICOLON, kVkSemicolon},  {SDLK_EQUALS, kVkEquals},
    {SDLK_COMMA, kVkComma},          {SDLK_MINUS, kVkMinus},          {SDLK_PERIOD, kVkPeriod},
    {SDLK_SLASH, kVkSlash},          {SDLK_BACKQUOTE, kVkBackquote},  {SDLK_LEFTBRACKET, kVkLeftBracket},
    {SDLK_BACKSLASH, kVkBackslash},  {SDLK_RIGHTBRACKET, kVkRightBracket}, {SDLK_QUOTE, kVkQuote},
};

// The keypad without Num Lock: 0-9 then the decimal point, as the navigation keys they stand for
// (5 is Clear). With Num Lock: the keypad digits and the decimal point.
constexpr SDL_Keycode kKeypad[11] = {SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4,     SDLK_KP_5,
                                     SDLK_KP_6, SDLK_KP_7, SDLK_KP_8, SDLK_KP_9, SDLK_KP_PERIOD};
constexpr int32_t kKeypadNavigation[11] = {kVkInsert, kVkEnd,  kVkDown, kVkNext,  kVkLeft,  kVkClear,
                                           kVkRight,  kVkHome, kVkUp,   kVkPrior, kVkDelete};

int32_t held_modifiers(SDL_Keymod mod) {
  uint32_t held = 0;
  if (mod & KMOD_SHIFT) held |= kModShift;
  if (mod & KMOD_CTRL) held |= kModCtrl;
  if (mod & KMOD_ALT) held |= kModAlt;
  return static_cast<int32_t>(held);
}

void translate_pointer(int32_t x, int32_t y) {
  int w = 0, h = 0;
  SDL_GetWindowSize(g_sdl2.window, &w, &h);
  if (x >= 0 && y >= 0 && x < w && y < h) {
    send(Message{MessageKind::kMouseMove, x, y, 0, 0});
    return;
  }
  // Outside the client area (a drag SDL keeps capturing): a frame position in screen terms.
  int wx = 0, wy = 0;
  SDL_GetWindowPosition(g_sdl2.window, &wx, &wy);
  send(Message{MessageKind::kFrameMouseMove, wx + x, wy + y, 0, 0});
}

int32_t button_bit(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return kButtonLeft;
    case SDL_BUTTON_RIGHT: return kButtonRight;
    case SDL_BUTTON_MIDDLE: return kButtonMiddle;
    default: return 0;
  }
}

void translate_window_event(const SDL_WindowEvent& e) {
  if (e.windowID != g_sdl2.window_id) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE: send(Message{MessageKind::kClose, 0, 0, 0, 0}); break;
    case SDL_WINDOWEVENT_EXPOSED: {
      int w = 0, h = 0;
      SDL_GetWindowSize(g_sdl2.window, &w, &h);
      send(Message{MessageKind::kPaint, 0, 0, w, h});
      break;
    }
    case SDL_WINDOWEVENT_MOVED: send(Message{MessageKind::kMove, e.data1, e.data2, 0, 0}); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      send(Message{MessageKind::kFocusGained, held_modifiers(SDL_GetModState()), 0, 0, 0});
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST: send(Message{MessageKind::kFocusLost, 0, 0, 0, 0}); break;
    default: break;
  }
}

void translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: send(Message{MessageKind::kClose, 0, 0, 0, 0}); break;
    case SDL_WINDOWEVENT: translate_window_event(e.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const SDL_Keysym& k = e.key.keysym;
      g_sdl2.key_mod = k.mod;
      const int32_t vk = virtual_key(k.sym, k.scancode, (k.mod & KMOD_NUM) != 0);
      if (!vk) break;
      const bool down = e.type == SDL_KEYDOWN;
      send(Message{down ? MessageKind::kKeyDown : MessageKind::kKeyUp, vk, 0, 0, 0});
      const int32_t c = down ? control_character(vk, (k.mod & KMOD_CTRL) != 0, (k.mod & KMOD_ALT) != 0) : 0;
      if (c) send(Message{MessageKind::kChar, c, 0, 0, 0});
      break;
    }
    case SDL_TEXTINPUT: {
      // Alt without Ctrl (and without AltGr, which SDL reports as the mode key) types menu
      // mnemonics, not text.
      const Uint16 mod = g_sdl2.key_mod;
      const bool system = (mod & KMOD_ALT) && !(mod & KMOD_CTRL) && !(mod & KMOD_MODE);
      send_text(e.text.text, system);
      break;
    }
    case SDL_MOUSEMOTION: translate_pointer(e.motion.x, e.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int32_t bit = button_bit(e.button.button);
      if (!bit) break;
      send(Message{e.type == SDL_MOUSEBUTTONDOWN ? MessageKind::kButtonDown : MessageKind::kButtonUp, bit, 0, 0, 0});
      break;
    }
    case SDL_MOUSEWHEEL: {
      int32_t steps = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
      if (steps) send(Message{MessageKind::kWheel, steps * kWheelStep, 0, 0, 0});
      break;
    }
    default: break;
  }
}

}  // namespace

int32_t virtual_key(int32_t sdl_keycode, int32_t sdl_scancode, bool num_lock) {
  const SDL_Keycode key = sdl_keycode;
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return kVkF1 + (key - SDLK_F1);
  if (key >= SDLK_F13 && key <= SDLK_F24) return kVkF13 + (key - SDLK_F13);
  for (int i = 0; i < 11; ++i) {
    if (key == kKeypad[i]) return num_lock ? (i < 10 ? kVkNumpad0 + i : kVkDecimal) : kKeypadNavigation[i];
  }
  for (const KeyPair& pair : kKeys) {
    if (pair.key == key) return pair.vk;
  }
  // A layout whose letters are not Latin: the key's position names it, as Windows does.
  if (sdl_scancode >= SDL_SCANCODE_A && sdl_scancode <= SDL_SCANCODE_Z) return 'A' + (sdl_scancode - SDL_SCANCODE_A);
  if (sdl_scancode >= SDL_SCANCODE_1 && sdl_scancode <= SDL_SCANCODE_9) return '1' + (sdl_scancode - SDL_SCANCODE_1);
  if (sdl_scancode == SDL_SCANCODE_0) return '0';
  return 0;
}

int32_t control_character(int32_t virtual_key, bool ctrl, bool alt) {
  if (alt) return 0;
  // As a keyboard driver types them: Ctrl+Backspace is DEL, Ctrl+Enter is line feed.
  switch (virtual_key) {
    case kVkBack: return ctrl ? 127 : 8;
    case kVkTab: return ctrl ? 0 : 9;
    case kVkReturn: return ctrl ? 10 : 13;
    case kVkEscape: return 27;
    default: break;
  }
  if (ctrl && virtual_key >= 'A' && virtual_key <= 'Z') return virtual_key - 'A' + 1;
  return 0;
}

int32_t keycode_from_name(const char* name) { return SDL_GetKeyFromName(name); }

int32_t scancode_from_name(const char* name) { return SDL_GetScancodeFromName(name); }

void collect() {
  if (!g_sdl2.video_up) return;
  SDL_PumpEvents();
  SDL_Event e;
  while (message_room() >= kSendReserve && SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
    translate(e);
  }
}

bool wait(uint32_t timeout_ms) {
  if (!g_sdl2.video_up) {
    // No window and no SDL: nothing can arrive; a bounded wait is a plain sleep.
    if (timeout_ms == kWaitForever) return false;
    SDL_Delay(timeout_ms);
    return true;
  }
  const int timeout = timeout_ms == kWaitForever ? -1 : (timeout_ms > INT_MAX ? INT_MAX : static_cast<int>(timeout_ms));
  SDL_Event e;
  if (SDL_WaitEventTimeout(&e, timeout) == 1) {
    translate(e);
    collect();
  }
  return true;
}

}  // namespace lumra::platform::sdl2
