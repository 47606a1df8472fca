// Tests of OEM <-> Windows conversion: the fixed 437 -> 1252 table (cross-checked with iconv), the
// fix-ups, the reverse table and its cache, the in-place forms, and the UTF-8 edges.
// The iconv cross-check needs glibc's CP437 and CP1252 converters, as every Debian system has.
#include "framework/text/oem.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <string_view>

#include "framework/base/heap.h"

namespace lumra::text {
namespace {

using namespace std::string_view_literals;

size_t heap_bytes() { return base::heap_stats(base::heap_current()).bytes_in_use; }
size_t heap_blocks() { return base::heap_stats(base::heap_current()).blocks_in_use; }

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

class Oem : public ::testing::Test {
 protected:
  void SetUp() override { text_reset(); }
  void TearDown() override { text_reset(); }
};

TEST_F(Oem, GraveCapitalRoundTrip) {
  char text[] = "\xB0";
  oem_to_windows(text, text);
  EXPECT_EQ(static_cast<uint8_t>(text[0]), 192) << "OEM 176 is À";
  windows_to_oem(text);
  EXPECT_EQ(static_cast<uint8_t>(text[0]), 176);
  EXPECT_EQ(text[1], '\0');
}

struct FixupCase {
  int oem;
  int windows;
};

constexpr FixupCase kFixupCases[] = {
    {128, 128}, {155, 248}, {157, 216}, {158, 215}, {169, 174}, {176, 192}, {177, 200},
    {178, 204}, {179, 210}, {180, 217}, {184, 169}, {198, 227}, {199, 195}, {228, 245},
    {229, 213}, {243, 190}, {249, 168}, {251, 185}, {252, 179},
};

TEST_F(Oem, EveryFixupOverridesTheSystemMapping) {
  for (const FixupCase& c : kFixupCases) {
    SCOPED_TRACE(c.oem);
    const char source[] = {static_cast<char>(c.oem), 'z', '\0'};
    char destination[3] = {1, 1, 1};
    oem_to_windows(destination, source);
    EXPECT_EQ(static_cast<uint8_t>(destination[0]), c.windows);
    EXPECT_EQ(destination[1], 'z');
    EXPECT_EQ(destination[2], '\0');
    EXPECT_EQ(oem_char_to_windows(static_cast<uint8_t>(c.oem)), c.windows);
    EXPECT_EQ(oem_to_windows(std::string(1, static_cast<char>(c.oem))),
              std::string(1, static_cast<char>(c.windows)));
  }
  EXPECT_EQ(system_oem_to_windows(128), 0xC7) << "the system alone gives Ç";
  EXPECT_EQ(system_oem_to_windows(176), 0xA6) << "and ¦ for the light shade";
}

TEST_F(Oem, BytesOutsideTheFixupsKeepTheSystemMapping) {
  bool fixed[256] = {};
  for (const FixupCase& c : kFixupCases) fixed[c.oem] = true;
  for (int b = 0; b < 256; ++b) {
    if (fixed[b]) continue;
    EXPECT_EQ(oem_char_to_windows(static_cast<uint8_t>(b)), system_oem_to_windows(static_cast<uint8_t>(b)))
        << b;
  }
  for (int b = 0; b < 128; ++b)
    EXPECT_EQ(system_oem_to_windows(static_cast<uint8_t>(b)), b) << "ASCII is itself";
}

// glibc converts 437 -> 1252 exactly where 1252 has the character and refuses the rest, so it
// confirms each exact row and shows which rows had to be best fits.
TEST_F(Oem, SystemTableAgreesWithIconvOnEveryExactByte) {
  iconv_t cd = iconv_open("CP1252", "CP437");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "glibc's CP437/CP1252 converters are missing";
  int exact = 0, refused = 0;
  for (int b = 0x80; b < 0x100; ++b) {
    char in = static_cast<char>(b), out = 0;
    char* in_at = &in;
    char* out_at = &out;
    size_t in_left = 1, out_left = 1;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_at, &in_left, &out_at, &out_left) == static_cast<size_t>(-1)) {
      ++refused;
      continue;
    }
    ++exact;
    EXPECT_EQ(system_oem_to_windows(static_cast<uint8_t>(b)), static_cast<uint8_t>(out)) << "OEM " << b;
  }
  iconv_close(cd);
  EXPECT_EQ(exact, 54);
  EXPECT_EQ(refused, 74);
}

TEST_F(Oem, BestFitsAreTheLookAlikes) {
  struct Case {
    const char* name;
    int oem;
    int windows;
  };
  constexpr Case kCases[] = {
      {"alpha", 0xE0, 'a'},         {"pi", 0xE3, 'p'},
      {"infinity", 0xEC, '8'},      {"square root", 0xFB, 'v'},
      {"almost equal", 0xF7, 0x98}, {"light shade", 0xB0, 0xA6},
      {"vertical", 0xB3, 0xA6},     {"horizontal", 0xC4, '-'},
      {"corner", 0xDA, '+'},        {"double corner", 0xC9, '+'},
      {"lower half", 0xDC, '_'},    {"upper half", 0xDF, 0xAF},
      {"peseta", 0x9E, 'P'},        {"bullet operator", 0xF9, 0xB7},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(system_oem_to_windows(static_cast<uint8_t>(c.oem)), c.windows) << c.name;
  }
}

TEST_F(Oem, WindowsCodesNoOemCodeProducesBecomeSpaces) {
  // Ç lost its only OEM source (128) to the euro fix-up; Š never had one.
  for (int w : {0xC7, 0x8A, 0x81}) {
    SCOPED_TRACE(w);
    EXPECT_EQ(windows_char_to_oem(static_cast<uint8_t>(w)), ' ');
    const char source[] = {'a', static_cast<char>(w), 'b', '\0'};
    char destination[4];
    windows_to_oem(destination, source);
    EXPECT_STREQ(destination, "a b");
  }
}

TEST_F(Oem, ReverseTableRoundTripsOverAllBytes) {
  for (int w = 0; w < 256; ++w) {
    SCOPED_TRACE(w);
    int first = 0;  // the lowest OEM code from 32 up that gives w
    for (int c = 32; c < 256 && !first; ++c) {
      if (oem_char_to_windows(static_cast<uint8_t>(c)) == w) first = c;
    }
    const uint8_t r = windows_char_to_oem(static_cast<uint8_t>(w));
    if (w < 32) {
      EXPECT_EQ(r, w);
    } else if (first) {
      EXPECT_EQ(r, first);
      EXPECT_EQ(oem_char_to_windows(r), w);
    } else {
      EXPECT_EQ(r, ' ');
    }
  }
}

TEST_F(Oem, ControlCharactersPassUnchangedToOem) {
  std::string controls;
  for (int c = 1; c < 32; ++c) controls.push_back(static_cast<char>(c));
  char destination[32];
  windows_to_oem(destination, controls.c_str());
  EXPECT_EQ(std::string(destination), controls);
  EXPECT_EQ(windows_to_oem(controls), controls);
}

TEST_F(Oem, EmptyTextsStayEmpty) {
  char destination[4] = {'x', 'y', 'z', '\0'};
  oem_to_windows(destination, "");
  EXPECT_STREQ(destination, "");
  destination[0] = 'x';
  windows_to_oem(destination, "");
  EXPECT_STREQ(destination, "");
  destination[0] = 'x';
  EXPECT_EQ(oem_to_windows_in_place(destination, ""), 1);
  EXPECT_STREQ(destination, "");
  char empty[1] = {'\0'};
  const size_t blocks = heap_blocks();
  EXPECT_EQ(oem_to_windows_in_place(empty), 1);
  EXPECT_STREQ(empty, "");
  EXPECT_EQ(heap_blocks(), blocks);
  EXPECT_EQ(oem_to_windows(""sv), "");
  EXPECT_EQ(windows_to_oem(""sv), "");
}

TEST_F(Oem, InPlaceAndCopyForms) {
  const std::string oem = bytes({'A', 0xB0, 0x9E, 0xE0, 0x80, 'z'});
  const std::string windows = bytes({'A', 0xC0, 0xD7, 'a', 0x80, 'z'});
  const size_t bytes_before = heap_bytes();

  std::string text = oem;
  EXPECT_EQ(oem_to_windows_in_place(text.data()), 1) << "no source: the destination itself";
  EXPECT_EQ(text, windows);

  text = oem;
  EXPECT_EQ(oem_to_windows_in_place(text.data(), text.data()), 1) << "source == destination";
  EXPECT_EQ(text, windows);

  std::string destination(oem.size(), '.');
  EXPECT_EQ(oem_to_windows_in_place(destination.data(), oem.c_str()), 1);
  EXPECT_EQ(destination, windows);
  EXPECT_EQ(heap_bytes(), bytes_before) << "the temporary copy is freed";

  EXPECT_EQ(oem_to_windows(oem), windows);
  text = windows;
  windows_to_oem(text.data());
  EXPECT_EQ(text, bytes({'A', 0xB0, 0x9E, 'a', 0x80, 'z'})) << "α came back as the plain a";
}

TEST_F(Oem, StringFormsCarryEmbeddedNuls) {
  const std::string oem = bytes({0xB0, 0, 0xB1});
  EXPECT_EQ(oem_to_windows(oem), bytes({0xC0, 0, 0xC8}));
  EXPECT_EQ(windows_to_oem(bytes({0xC0, 0, 0xC8})), oem);
}

TEST_F(Oem, NullArgumentsDoNothing) {
  oem_to_windows(nullptr, "x");
  char text[] = "x";
  oem_to_windows(text, nullptr);
  EXPECT_STREQ(text, "x");
  windows_to_oem(nullptr, "x");
  windows_to_oem(nullptr);
  EXPECT_EQ(oem_to_windows_in_place(nullptr), 0);
  arithmetic_symbols(1, nullptr);
}

TEST_F(Oem, ReverseTableIsBuiltOncePerSettingAndFreedByCleanup) {
  const size_t bytes_before = heap_bytes();
  const size_t blocks_before = heap_blocks();
  char text[] = "\xC0\xC8";
  for (int i = 0; i < 5; ++i) windows_to_oem(text, "\xC0\xC8");
  EXPECT_EQ(windows_to_oem("\xC0"sv), "\xB0");
  EXPECT_EQ(windows_char_to_oem(0xC8), 177);
  EXPECT_EQ(g_text.reverse_tables.count, 1u);
  ASSERT_NE(g_text.current, nullptr);
  EXPECT_EQ(g_text.current->language, 0);
  EXPECT_EQ(heap_bytes(), bytes_before + sizeof(ReverseTable));

  g_text.language = 7;  // another setting gets its own record; returning finds the first again
  windows_to_oem(text, "\xC0");
  EXPECT_EQ(g_text.reverse_tables.count, 2u);
  EXPECT_EQ(g_text.current->language, 7);
  g_text.language = 0;
  windows_to_oem(text, "\xC0");
  EXPECT_EQ(g_text.reverse_tables.count, 2u);
  EXPECT_EQ(g_text.current->language, 0);
  EXPECT_STREQ(text, "\xB0");

  text_cleanup();
  EXPECT_EQ(g_text.reverse_tables.count, 0u);
  EXPECT_EQ(g_text.current, nullptr);
  EXPECT_EQ(heap_bytes(), bytes_before);
  EXPECT_EQ(heap_blocks(), blocks_before);

  windows_to_oem(text, "\xC8");  // usable again after clean-up
  EXPECT_STREQ(text, "\xB1");
  EXPECT_EQ(g_text.reverse_tables.count, 1u);
}

TEST_F(Oem, FontCharsetAndArithmeticSymbols) {
  EXPECT_EQ(font_charset(), kDefaultCharset);
  EXPECT_EQ(font_charset(), 1);
  struct Case {
    int charset;
    int times;
    int divide;
  };
  constexpr Case kCases[] = {
      {kAnsiCharset, 158, 246}, {kDefaultCharset, 158, 246}, {-1, 158, 246}, {2, 'x', '/'}, {255, 'x', '/'}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.charset);
    char pair[2] = {};
    arithmetic_symbols(c.charset, pair);
    EXPECT_EQ(static_cast<uint8_t>(pair[0]), c.times);
    EXPECT_EQ(static_cast<uint8_t>(pair[1]), c.divide);
  }
  char pair[2];
  arithmetic_symbols(font_charset(), pair);
  EXPECT_EQ(oem_to_windows(std::string_view(pair, 2)), "\xD7\xF7") << "× and ÷ in 1252";
}

struct Utf8Case {
  const char* name;
  std::string_view utf8;
  std::string_view windows;
};

const Utf8Case kUtf8Cases[] = {
    {"empty", "", ""},
    {"ascii", "plain text 123", "plain text 123"},
    {"latin-1 letter", "caf\xC3\xA9", "caf\xE9"},
    {"euro", "\xE2\x82\xAC", "\x80"},
    {"S caron", "\xC5\xA0", "\x8A"},
    {"undefined-byte code point", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D", "\x81\x8D\x8F\x90\x9D"},
    {"embedded NUL", "a\0b"sv, "a\0b"sv},
    {"greek letter 1252 lacks", "x\xCE\xB1y", "x?y"},
    {"box drawing 1252 lacks", "\xE2\x94\x80", "?"},
    {"outside the BMP", "\xF0\x9F\x98\x80!", "?!"},
    {"byte order mark", "\xEF\xBB\xBF\x41", "?A"},  // \x41 is A
    {"lone continuation", "a\x80z", "a?z"},
    {"invalid lead bytes", "\xFF\xFE\xF5", "???"},
    {"overlong NUL", "\xC0\x80", "??"},
    {"overlong three bytes", "\xE0\x80\xAF", "???"},
    {"surrogate", "\xED\xA0\x80", "???"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", "????"},
    {"cut before a letter", "\xE2\x82\x62", "?b"},
    {"cut at the end", "ok\xE2\x82", "ok?"},
    {"cut four-byte at the end", "\xF0\x9F\x98", "?"},
    {"good after bad", "\xC3\xC3\xA9", "?\xE9"},
};

TEST_F(Oem, Utf8ToWindows) {
  for (const Utf8Case& c : kUtf8Cases) {
    std::string out = "stale";
    EXPECT_EQ(utf8_to_windows(c.utf8, &out), 1) << c.name;
    EXPECT_EQ(out, c.windows) << c.name;
    EXPECT_EQ(utf8_to_windows(c.utf8), c.windows) << c.name;
  }
}

TEST_F(Oem, WindowsToUtf8) {
  struct Case {
    const char* name;
    std::string_view windows;
    std::string_view utf8;
  };
  const Case kCases[] = {
      {"empty", "", ""},
      {"ascii", "abc", "abc"},
      {"euro and quotes", "\x80\x93\x94", "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D"},
      {"latin-1 range", "\xC0\xE9\xFF", "\xC3\x80\xC3\xA9\xC3\xBF"},
      {"undefined bytes", "a\x81\x62\x9D", "a\xC2\x81\x62\xC2\x9D"},
      {"embedded NUL", "a\0b"sv, "a\0b"sv},
  };
  for (const Case& c : kCases) {
    std::string out = "stale";
    EXPECT_EQ(windows_to_utf8(c.windows, &out), 1) << c.name;
    EXPECT_EQ(out, c.utf8) << c.name;
  }
}

TEST_F(Oem, EveryWindowsByteSurvivesUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = windows_to_utf8(all);
  EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos) << "no byte needed a replacement";
  EXPECT_EQ(utf8_to_windows(utf8), all);
}

TEST_F(Oem, LongTextsCrossTheConversionBuffer) {
  std::string utf8, windows;
  for (int i = 0; i < 3000; ++i) {
    utf8 += i % 7 ? "\xE2\x82\xAC" : "\xCE\xB1";  // €, or α which 1252 lacks
    windows += i % 7 ? '\x80' : '?';
  }
  EXPECT_EQ(utf8_to_windows(utf8), windows);
  std::string euros(3000, '\x80');
  std::string expected;
  for (int i = 0; i < 3000; ++i) expected += "\xE2\x82\xAC";
  EXPECT_EQ(windows_to_utf8(euros), expected);
}

// The converters belong to the system layer; cleanup closes them and the next call opens them again.
TEST_F(Oem, ConvertersReopenAfterCleanup) {
  EXPECT_EQ(utf8_to_windows("\xC3\xA9"), "\xE9");
  EXPECT_EQ(windows_to_utf8("\xE9"), "\xC3\xA9");
  text_cleanup();
  text_cleanup();  // twice: nothing left to close
  EXPECT_EQ(utf8_to_windows("\xC3\xA9"), "\xE9");
  EXPECT_EQ(windows_to_utf8("\xE9"), "\xC3\xA9");
}

}  // namespace
}  // namespace lumra::text
