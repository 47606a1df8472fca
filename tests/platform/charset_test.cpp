// The system's UTF-8 <-> Windows-1252 converters: where a conversion stops, and that what came
// before the stop is delivered. What stands in for the stopping piece is the text subsystem's
// business (tests/text/oem_test.cpp).
#include "platform/system/charset.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace lumra::sys {
namespace {

using namespace std::string_view_literals;

TEST(Charset, StopsAtThePieceItCannotConvert) {
  struct Case {
    const char* name;
    Charset from;
    Charset to;
    std::string_view in;
    int64_t used;
    std::string_view out;
  } const cases[] = {
      {"empty", Charset::kUtf8, Charset::kWindows1252, "", 0, ""},
      {"whole text", Charset::kUtf8, Charset::kWindows1252, "caf\xC3\xA9 \xE2\x82\xAC", 9, "caf\xE9 \x80"},
      {"character 1252 lacks", Charset::kUtf8, Charset::kWindows1252, "x\xCE\xB1y", 1, "x"},
      {"ill-formed byte", Charset::kUtf8, Charset::kWindows1252, "ab\xFF", 2, "ab"},
      {"cut off at the end", Charset::kUtf8, Charset::kWindows1252, "ok\xE2\x82", 2, "ok"},
      {"embedded NUL", Charset::kUtf8, Charset::kWindows1252, "a\0b"sv, 3, "a\0b"sv},
      {"1252 to UTF-8", Charset::kWindows1252, Charset::kUtf8, "\xE9\x80", 2, "\xC3\xA9\xE2\x82\xAC"},
      {"byte 1252 leaves undefined", Charset::kWindows1252, Charset::kUtf8, "a\x81", 1, "a"},
      {"same set", Charset::kUtf8, Charset::kUtf8, "\xFF any", 5, "\xFF any"},
  };
  for (const Case& c : cases) {
    std::string out = "<";
    EXPECT_EQ(convert_charset(c.from, c.to, c.in, &out), c.used) << c.name;
    EXPECT_EQ(out, "<" + std::string(c.out)) << c.name << ": appended, never replaced";
  }
}

TEST(Charset, LongTextsCrossTheConversionBuffer) {
  std::string in, expected;
  for (int i = 0; i < 5000; ++i) in += "\xE2\x82\xAC", expected += '\x80';
  std::string out;
  EXPECT_EQ(convert_charset(Charset::kUtf8, Charset::kWindows1252, in, &out), static_cast<int64_t>(in.size()));
  EXPECT_EQ(out, expected);
}

TEST(Charset, ReleasedConvertersOpenAgain) {
  std::string out;
  EXPECT_EQ(convert_charset(Charset::kWindows1252, Charset::kUtf8, "\xE9", &out), 1);
  release_charset_converters();
  release_charset_converters();
  EXPECT_EQ(convert_charset(Charset::kWindows1252, Charset::kUtf8, "\xE9", &out), 1);
  EXPECT_EQ(out, "\xC3\xA9\xC3\xA9");
}

}  // namespace
}  // namespace lumra::sys
