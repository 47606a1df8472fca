// Key names: the table, function keys, printable characters, Alt and Ctrl codes, codes without a
// name, and names cut to a small buffer.
#include "framework/input/key_names.h"

#include <gtest/gtest.h>

#include <string>

namespace lumra::input {
namespace {

std::string name_of(int32_t code) {
  char buffer[32] = "junk";
  const int found = key_name(code, buffer, sizeof buffer);
  EXPECT_EQ(found != 0, buffer[0] != '\0') << code;
  return buffer;
}

TEST(KeyNames, Table) {
  struct Case {
    int32_t code;
    const char* name;
  };
  const Case cases[] = {
      {0x3B00, "F1"},           {0x1E00, "Alt+A"},        {0x8100, "Alt+0"},          {0x1E01, "Ctrl+A"},
      {'q', "Q"},               {0x5F00, "Ctrl+F2"},      {0x8500, ""},               {8, "Backspace"},
      {10, "Ctrl+Enter"},       {13, "Enter"},            {27, "ESC"},                {32, "Space"},
      {127, "Ctrl+Backspace"},  {0x01FF, "Ctrl+Ins"},     {0x0DFF, "Shift+Page Down"}, {0x0F00, "Shift+Tab"},
      {0x0F09, "Tab"},          {0x5300, "Del"},          {0x8400, "Ctrl+Page Up"},   {0x4400, "F10"},
      {0x4500, "F11"},          {0x4600, "F12"},          {0x5400, "Shift+F1"},       {0x5D00, "Shift+F10"},
      {0x6700, "Ctrl+F10"},     {0x6800, "Alt+F1"},       {0x7100, "Alt+F10"},        {0x7200, "Alt+F11"},
      {0x7800, "Alt+1"},        {0x8000, "Alt+9"},        {0x2C00, "Alt+Z"},          {0x2C1A, "Ctrl+Z"},
      {'7', "7"},               {'~', "~"},               {'Q', "Q"},                 {0x82, ""},
      {0, ""},                  {1, ""},                  {-1, ""},                   {0x3B01, ""},
      {0x1E61, ""},             {0x7FF0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(name_of(c.code), c.name) << std::hex << c.code;
}

TEST(KeyNames, CutToTheBuffer) {
  char buffer[5] = "junk";
  EXPECT_EQ(key_name(0x0DFF, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "Shif");
  EXPECT_EQ(key_name(0x8500, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  char one = 'x';
  EXPECT_EQ(key_name(0x3B00, &one, 1), 1);
  EXPECT_EQ(one, '\0');
  EXPECT_EQ(key_name(0x3B00, nullptr, 0), 1) << "nothing written";
}

TEST(KeyNames, NoneIsLongerThanFifteen) {
  char buffer[64];
  for (int32_t code = -1; code <= 0xFFFF; ++code) {
    if (key_name(code, buffer, sizeof buffer)) {
      EXPECT_LE(std::string(buffer).size(), kKeyNameMax) << code;
    }
  }
}

}  // namespace
}  // namespace lumra::input
