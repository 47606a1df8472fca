// mkstroke as the build runs it: help, usage errors (exit 2), .jhf files and copyright files it
// refuses (exit 1), and the table it writes from small hand-made fonts: advances, points moved to
// the glyph's left edge and the baseline, pen lifts, continued records, symbols, '?' for the
// codes without a glyph, the metrics, and the licence stanza copied for distribution.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/files/files_test_support.h"

namespace lumra::tools {
namespace {

using files::test_support::RunResult;
using files::test_support::TempDir;

RunResult mkstroke(std::vector<std::string> args) {
  args.insert(args.begin(), LUMRA_MKSTROKE);
  return files::test_support::run(args);
}

std::string read_text(const std::string& path) {
  const files::test_support::Bytes b = files::test_support::read_file(path);
  return std::string(b.begin(), b.end());
}

// One .jhf record: glyph number, pair count, the pairs (margins first).
std::string record(const std::string& pairs) {
  char head[32];
  std::snprintf(head, sizeof head, "%5d%3zu", 12345, pairs.size() / 2);
  return head + pairs + "\n";
}

// Characters 32..126 (and 127): every glyph a plain vertical bar from the cap line to the baseline
// ("RF" to "RR" is 0,-12 to 0,0... in the file's letters: x, y = code - 'R'), 'A' with two
// strokes, 'g' with a descender, one record continued on a second line.
std::string font_file() {
  std::string f;
  for (int c = 32; c <= 127; ++c) {
    if (c == 'A') {
      f += record("MW" "RFM[" " R" "OUVU");  // left -5, right 5; (0,-12)-(-5,9), lift, (-3,3)-(4,3)
    } else if (c == 'g') {
      f += record("NV" "RMRb");  // down to y = 16
    } else if (c == 'B') {
      const std::string r = record("NV" "RFR[" " R" "SFS[");
      f += r.substr(0, 10) + "\n" + r.substr(10);  // wrapped after the margins
    } else {
      f += record("NV" "RFR[");  // left -4, right 4; (0,-12)-(0,9)
    }
  }
  return f;
}

constexpr const char* kCopyright =
    "Format: http://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "\n"
    "Files: hershey-fonts/*.jhf\n"
    "License: hershey-license\n"
    " This distribution of the Hershey Fonts may be used by anyone.\n"
    " .\n"
    " \t- The Hershey Fonts were originally created by Dr.\n"
    " \t\tA. V. Hershey.\n"
    " \t- James Hurt\n"
    "\n"
    "License: GPL-2+\n"
    " not this one\n";

// The entry of OEM code `code` in the generated glyph table of face `face`.
std::string glyph_entry(const std::string& source, int face, int code) {
  size_t at = source.find("const StrokeGlyph kGlyphs" + std::to_string(face) + "[256] = {\n");
  if (at == std::string::npos) return "";
  at = source.find('\n', at) + 1;
  for (int i = 0; i < code; ++i) at = source.find('\n', at) + 1;
  return source.substr(at, source.find('\n', at) - at);
}

TEST(Mkstroke, Help) {
  const RunResult r = mkstroke({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("usage: mkstroke"), 0u) << r.out;
}

TEST(Mkstroke, UsageErrorsExitWithTwo) {
  TempDir dir;
  const std::string out = dir / "f.cpp";
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--output", out},
      {"a=x.jhf"},
      {"--output", out, "a-b=x.jhf"},
      {"--output", out, "=x.jhf"},
      {"--output", out, "a="},
      {"--output", out, std::string(32, 'a') + "=x.jhf"},
      {"--output", out, "--symbol", "x.jhf:35", "a=x.jhf"},
      {"--output", out, "--symbol", "x.jhf:35=100", "a=x.jhf"},
      {"--output", out, "--symbol", "x.jhf:20=158", "a=x.jhf"},
      {"--output", out, "--copyright", "c", "a=x.jhf"},
      {"--output"},
  };
  for (const auto& c : cases) {
    const RunResult r = mkstroke(c);
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("usage: mkstroke"), std::string::npos) << r.out;
  }
}

TEST(Mkstroke, RefusedFilesExitWithOne) {
  TempDir dir;
  const std::string good = font_file();
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"short record", "12345  1R\n" + good},
      {"no count", "12345 xxRR\n" + good},
      {"fewer pairs than counted", record("NVRFR[").substr(0, 12) + "\n"},
      {"more pairs than counted", "12345  1NVRF\n" + good},
      {"too few glyphs", record("NVRFR[")},
      {"a control character", "12345  2NV\x01R\n" + good},
      {"right of left edge reversed", "12345  1VN\n" + good},
  };
  for (const Case& c : cases) {
    files::test_support::write_file(dir / "bad.jhf", c.text);
    const RunResult r = mkstroke({"--output", dir / "f.cpp", "a=" + (dir / "bad.jhf")});
    EXPECT_EQ(r.status, 1) << c.name << ": " << r.out;
    EXPECT_EQ(r.out.find("mkstroke: "), 0u) << r.out;
  }
  files::test_support::write_file(dir / "good.jhf", good);
  const RunResult missing = mkstroke({"--output", dir / "f.cpp", "a=" + (dir / "missing.jhf")});
  EXPECT_EQ(missing.status, 1);
  files::test_support::write_file(dir / "copyright", std::string("License: GPL-2+\n text\n"));
  const RunResult no_stanza = mkstroke({"--output", dir / "f.cpp", "--copyright", dir / "copyright", "--acknowledgement",
                                        dir / "ack.txt", "a=" + (dir / "good.jhf")});
  EXPECT_EQ(no_stanza.status, 1) << no_stanza.out;
  EXPECT_FALSE(files::test_support::exists(dir / "f.cpp")) << "nothing written on failure";
}

TEST(Mkstroke, TableOfTwoFaces) {
  TempDir dir;
  files::test_support::write_file(dir / "one.jhf", font_file());
  files::test_support::write_file(dir / "copyright", std::string(kCopyright));
  const RunResult r = mkstroke({"--output", dir / "faces.cpp", "--copyright", dir / "copyright", "--acknowledgement",
                                dir / "ack.txt", "--symbol", (dir / "one.jhf") + ":65=158", "first=" + (dir / "one.jhf"),
                                "second_face=" + (dir / "one.jhf")});
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string source = read_text(dir / "faces.cpp");
  EXPECT_NE(source.find("{\"first\", 21, -7, kGlyphs0, kPoints0},"), std::string::npos)
      << "ascent 9 - (-12), descent 9 - 16";
  EXPECT_NE(source.find("{\"second_face\", 21, -7, kGlyphs1, kPoints1},"), std::string::npos);
  EXPECT_NE(source.find("const int32_t kStrokeFaceCount = 2;"), std::string::npos);
  EXPECT_EQ(glyph_entry(source, 0, 20), "    {0, 0, 0},") << "control codes draw nothing";
  EXPECT_EQ(glyph_entry(source, 0, 32), "    {0, 2, 8},") << "space: two points, advance 8";
  // 'A' (65) follows 33 bars of two points each: its three pairs are (5,-21) (0,0), a lift, (2,-6) (9,-6).
  EXPECT_EQ(glyph_entry(source, 0, 65), "    {66, 5, 10},");
  EXPECT_EQ(glyph_entry(source, 0, 158), glyph_entry(source, 0, 65)) << "the symbol shares A's points";
  EXPECT_EQ(glyph_entry(source, 0, 200), glyph_entry(source, 0, '?')) << "no glyph: '?'";
  EXPECT_EQ(glyph_entry(source, 0, 127), glyph_entry(source, 0, '?')) << "127 of the file is not used";
  EXPECT_NE(source.find("5, -21, 0, 0, -128, -128, 2, -6, 9, -6,"), std::string::npos) << source.substr(0, 600);
  EXPECT_NE(glyph_entry(source, 0, 'B').find(", 5, 8},"), std::string::npos) << "the continued record is whole";

  const std::string ack = read_text(dir / "ack.txt");
  EXPECT_NE(ack.find("This distribution of the Hershey Fonts may be used by anyone.\n\n\t- The Hershey"), std::string::npos)
      << ack;
  EXPECT_NE(ack.find("\t- James Hurt\n"), std::string::npos);
  EXPECT_EQ(ack.find("not this one"), std::string::npos);
}

}  // namespace
}  // namespace lumra::tools
