// The name table and the rules for codes outside it.
#include "framework/input/key_names.h"

#include <cctype>
#include <cstdio>

#include "framework/graphics/keys.h"

namespace lumra::input {
namespace {

struct NamedKey {
  int32_t code;
  const char* name;
};

constexpr NamedKey kNames[] = {
    {8, "Backspace"},           {10, "Ctrl+Enter"},        {13, "Enter"},
    {27, "ESC"},                {32, "Space"},             {127, "Ctrl+Backspace"},
    {0x01FF, "Ctrl+Ins"},       {0x02FF, "Shift+Ins"},     {0x03FF, "Ctrl+Del"},
    {0x04FF, "Shift+Del"},      {0x06FF, "Shift+Up"},      {0x07FF, "Shift+Left"},
    {0x08FF, "Shift+Right"},    {0x09FF, "Shift+Down"},    {0x0AFF, "Shift+Home"},
    {0x0BFF, "Shift+End"},      {0x0CFF, "Shift+Page Up"}, {0x0DFF, "Shift+Page Down"},
    {0x0F00, "Shift+Tab"},      {0x0F09, "Tab"},           {0x4700, "Home"},
    {0x4800, "Up"},             {0x4900, "Page Up"},       {0x4B00, "Left"},
    {0x4D00, "Right"},          {0x4F00, "End"},           {0x5000, "Down"},
    {0x5100, "Page Down"},      {0x5200, "Ins"},           {0x5300, "Del"},
    {0x7300, "Ctrl+Left"},      {0x7400, "Ctrl+Right"},    {0x7500, "Ctrl+End"},
    {0x7600, "Ctrl+Page Down"}, {0x7700, "Ctrl+Home"},     {0x8400, "Ctrl+Page Up"},
};

// "F1".."F10" alone and with Shift, Ctrl and Alt (codes 0x100 apart), then F11, F12, Alt+F11.
bool function_key_name(int32_t code, char* out, size_t size) {
  struct Row {
    int32_t first;
    const char* prefix;
  };
  constexpr Row kRows[] = {{graphics::kCodeF1, ""},
                           {graphics::kCodeShiftF1, "Shift+"},
                           {graphics::kCodeCtrlF1, "Ctrl+"},
                           {graphics::kCodeAltF1, "Alt+"}};
  for (const Row& row : kRows) {
    const int32_t index = (code - row.first) / 0x100;
    if (code >= row.first && code < row.first + 10 * 0x100 && (code & 0xFF) == 0) {
      std::snprintf(out, size, "%sF%d", row.prefix, index + 1);
      return true;
    }
  }
  const char* name = code == 0x4500 ? "F11" : code == 0x4600 ? "F12" : code == 0x7200 ? "Alt+F11" : nullptr;
  if (name) std::snprintf(out, size, "%s", name);
  return name != nullptr;
}

int32_t upper(int32_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

}  // namespace

int key_name(int32_t code, char* buffer, size_t size) {
  // Formatted in full first, then cut to the caller's buffer.
  char name[kKeyNameMax + 1] = {};
  bool found = false;
  for (const NamedKey& k : kNames) {
    if (k.code == code) {
      std::snprintf(name, sizeof name, "%s", k.name);
      found = true;
      break;
    }
  }
  if (!found) found = function_key_name(code, name, sizeof name);
  if (!found && code >= 0 && code <= 255 && std::isprint(code)) {
    std::snprintf(name, sizeof name, "%c", static_cast<char>(std::toupper(code)));
    found = true;
  }
  if (!found) {
    const int32_t letter = graphics::alt_code_to_letter(code);
    if (letter != code) {
      std::snprintf(name, sizeof name, "Alt+%c", static_cast<char>(upper(letter)));
      found = true;
    }
  }
  for (int32_t c = 'a'; !found && c <= 'z'; ++c) {
    if (graphics::letter_to_ctrl_code(c) == code) {
      std::snprintf(name, sizeof name, "Ctrl+%c", static_cast<char>(upper(c)));
      found = true;
    }
  }
  if (size > 0) std::snprintf(buffer, size, "%s", found ? name : "");
  return found ? 1 : 0;
}

}  // namespace lumra::input
