// lumra-arc as a user runs it: help, usage errors (exit 2), failures with one line on stderr
// (exit 1), the listing format, every action, what it says about the members it acts on, its
// notes on DOS patterns, the test action on damaged archives, files that are no archive, and its
// peak memory on a large package.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/files/files_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

RunResult arc(std::vector<std::string> args, const std::string& cwd = "") {
  args.insert(args.begin(), LUMRA_ARC);
  return run(args, cwd);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out(1);
  for (const char c : line) {
    if (c == '\t') {
      out.emplace_back();
    } else {
      out.back().push_back(c);
    }
  }
  return out;
}

bool is_number(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// A run with standard output and standard error kept apart.
struct Streams {
  int status = -1;
  std::string out;
  std::string err;
};

Streams arc_streams(std::vector<std::string> args, const std::string& cwd) {
  TempDir spool;
  const std::string err_file = spool / "stderr";
  args.insert(args.begin(), {"sh", "-c", "f=$1; shift; exec \"$@\" 2>\"$f\"", "sh", err_file, LUMRA_ARC});
  const RunResult r = run(args, cwd);
  const Bytes err = read_file(err_file);
  return Streams{r.status, r.out, std::string(err.begin(), err.end())};
}

// Names and record offsets of a native archive's members, for damaging one in place.
std::vector<std::pair<std::string, size_t>> native_records(const Bytes& archive) {
  std::vector<std::pair<std::string, size_t>> out;
  for (size_t at = 0; at + 110 <= archive.size();) {
    const uint32_t length = archive[at + 80] | archive[at + 81] << 8 | archive[at + 82] << 16 |
                            static_cast<uint32_t>(archive[at + 83]) << 24;
    out.emplace_back(reinterpret_cast<const char*>(archive.data() + at), at);
    if (length < 110) break;
    at += length;
  }
  return out;
}

// keep.bin, zero.bin and notes.txt in `folder`, for the deletion and test cases.
void write_three_files(const std::string& folder) {
  make_dirs(folder);
  write_file(folder + "/keep.bin", sample(3000, 1));
  write_file(folder + "/zero.bin", Bytes(5000, 0));
  write_file(folder + "/notes.txt", sample(20000, 0));
}

TEST(LumraArc, Help) {
  for (const char* flag : {"--help", "-h"}) {
    const RunResult r = arc({flag});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("usage: lumra-arc ACTION ARCHIVE"), 0u) << r.out;
    for (const char* told : {"\n  t  test", "\n  -q ", "\n  -v "}) {
      EXPECT_NE(r.out.find(told), std::string::npos) << told;
    }
  }
}

TEST(LumraArc, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"x"},
      {"q", "a.zip"},
      {"xx", "a.zip"},
      {"x", "a.zip", "-k", "300"},
      {"x", "a.zip", "-k"},
      {"x", "a.zip", "-f", "rar"},
      {"x", "a.zip", "-m", "fast"},
      {"x", "a.zip", "-z"},
      {"a", "a.kx"},
      {"x", "a.zip", std::string(256, 'p')},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& a : c) shown += a.substr(0, 20) + " ";
    SCOPED_TRACE(shown);
    const RunResult r = arc(c);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.find("lumra-arc: "), 0u) << r.out;
    EXPECT_NE(r.out.find("usage: lumra-arc"), std::string::npos);
  }
}

TEST(LumraArc, FailuresExitWithOneAndOneLine) {
  TempDir dir;
  write_file(dir / "evil.zip", read_file(std::string(LUMRA_MALFORMED) + "/zip-climbing-name.zip"));
  for (const auto& c : std::vector<std::vector<std::string>>{{"x", dir / "missing.zip"}, {"x", dir / "evil.zip"}}) {
    const RunResult r = arc(c, dir.path());
    EXPECT_EQ(r.status, 1);
    const auto l = lines(r.out);
    ASSERT_EQ(l.size(), 1u) << r.out;
    EXPECT_EQ(l[0].find("lumra-arc: "), 0u);
  }
  EXPECT_NE(arc({"x", dir / "evil.zip"}, dir.path()).out.find("refused"), std::string::npos);
  EXPECT_FALSE(exists(dir / "evil.txt"));
}

TEST(LumraArc, EveryActionFromTheShell) {
  TempDir dir;
  make_dirs(dir / "src/sub");
  write_file(dir / "src/a.txt", sample(40000, 0));
  write_file(dir / "src/sub/b.bin", sample(20000, 1));
  set_mtime(dir / "src/a.txt", unix_from_dos_time(pack_dos_time(2022, 3, 4, 5, 6, 8)));
  ASSERT_EQ(arc({"r", "p.kx", "src\\*.*", "-k", "9", "-m", "128"}, dir.path()).status, 0);
  const RunResult l = arc({"l", "p.kx", "-k", "9"}, dir.path());
  ASSERT_EQ(l.status, 0) << l.out;
  const auto listing = lines(l.out);
  ASSERT_EQ(listing.size(), 3u) << l.out;
  const auto first = fields(listing[0]);
  ASSERT_EQ(first.size(), 4u) << listing[0];
  EXPECT_EQ(first[0], "src\\a.txt");
  EXPECT_EQ(first[1], "40000");
  EXPECT_TRUE(is_number(first[2]));
  EXPECT_EQ(first[3], "2022-03-04 05:06:08");
  const auto second = fields(listing[1]);
  ASSERT_EQ(second.size(), 4u) << listing[1];
  EXPECT_EQ(second[0], "src\\sub\\b.bin");
  EXPECT_EQ(second[1], "20000");
  EXPECT_EQ(listing[2].find("2 members, 60000 bytes unpacked, "), 0u) << listing[2];
  EXPECT_EQ(listing[2].substr(listing[2].size() - 13), " bytes stored");

  ASSERT_EQ(arc({"x", "../p.kx", "-k", "9"}, (make_dirs(dir / "x"), dir / "x")).status, 0);
  EXPECT_EQ(read_file(dir / "x/src/sub/b.bin"), read_file(dir / "src/sub/b.bin"));
  ASSERT_EQ(arc({"e", "../p.kx", "-k", "9"}, (make_dirs(dir / "e"), dir / "e")).status, 0);
  EXPECT_TRUE(exists(dir / "e/b.bin"));

  ASSERT_EQ(arc({"d", "p.kx", "src\\sub\\*.*", "-k", "9"}, dir.path()).status, 0);
  EXPECT_EQ(lines(arc({"l", "p.kx", "-k", "9"}, dir.path()).out).size(), 2u);

  ASSERT_EQ(arc({"s", "q.zip", "+src\\a.txt/"}, dir.path()).status, 0);
  EXPECT_EQ(run({"unzip", "-t", dir / "q.zip"}).status, 0);
  ASSERT_EQ(arc({"a", "q.zip", "+src\\sub\\*.*/+deep", "-m", "8"}, dir.path()).status, 0);
  ASSERT_EQ(arc({"m", "all.kx", "p.kx", "q.zip", "-k", "9"}, dir.path()).status, 0);
  const auto merged = lines(arc({"l", "all.kx", "-k", "9"}, dir.path()).out);
  ASSERT_EQ(merged.size(), 4u);
  EXPECT_EQ(merged[3].find("3 members"), 0u);
  ASSERT_EQ(arc({"l", "all.kx", "-f", "zip"}, dir.path()).status, 1);  // not a zip
}

TEST(LumraArc, DeleteNamesEachMemberAndNotesWhatACutPatternSelects) {
  TempDir dir;
  write_three_files(dir / "src");
  const RunResult zipped = run({"zip", "-q", "../info.zip", "keep.bin", "zero.bin", "notes.txt"}, dir / "src");
  ASSERT_EQ(zipped.status, 0) << zipped.out;
  ASSERT_EQ(arc({"a", "native.kx", "+src\\*.*/"}, dir.path()).status, 0);
  for (const std::string archive : {"info.zip", "native.kx"}) {
    SCOPED_TRACE(archive);
    const Streams d = arc_streams({"d", archive, "*zero.bin"}, dir.path());
    EXPECT_EQ(d.status, 0) << d.err;
    EXPECT_EQ(d.err, "lumra-arc: note: \"*zero.bin\" selects every member ending in \".bin\" (DOS patterns ignore what "
                     "follows a \"*\")\n");
    EXPECT_EQ(lines(d.out), (std::vector<std::string>{"deleting: keep.bin", "deleting: zero.bin"}));
    const auto left = lines(arc({"l", archive}, dir.path()).out);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(fields(left[0])[0], "notes.txt");
  }
  EXPECT_EQ(run({"unzip", "-Z1", dir / "info.zip"}).out, "notes.txt\n");
  // Nothing matched: nothing is named, and the archive stays.
  const Streams none = arc_streams({"d", "native.kx", "*.none"}, dir.path());
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "");
}

TEST(LumraArc, PatternNotesSayWhatTheDosRulesSelect) {
  TempDir dir;
  write_three_files(dir / "src");
  ASSERT_EQ(arc({"r", "p.kx", "src\\*.*"}, dir.path()).status, 0);
  struct Case {
    const char* pattern;
    const char* selects;  // "" when the pattern selects what it seems to
  };
  const Case cases[] = {
      {"*.*", ""},
      {"*.bin", ""},
      {"src\\ze*", ""},
      {"zero.b?n", ""},
      {"*zero.bin", "every member ending in \".bin\""},
      {"*.tar.gz", "every member ending in \".gz\""},
      {"src\\*o.bin", "every member in \"src\\\" ending in \".bin\""},
      {"ke*zz.bin", "every member whose name begins with \"ke\" and ends in \".bin\""},
      {"*.b*n", "every member whose extension begins with \".b\""},
      {"notes.t*xt", "every member whose base name is \"notes\" and whose extension begins with \".t\""},
      {"*x", "every member without an extension"},
      {"n*x", "every member whose name begins with \"n\" and has no extension"},
      {"*x.*", "every member"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    const Streams l = arc_streams({"l", "p.kx", c.pattern}, dir.path());
    EXPECT_EQ(l.status, 0);
    const std::string note = *c.selects ? std::string("lumra-arc: note: \"") + c.pattern + "\" selects " + c.selects +
                                              " (DOS patterns ignore what follows a \"*\")\n"
                                        : "";
    EXPECT_EQ(l.err, note);
  }
  // Adding selects files; the pattern part of a "+" entry is the one judged.
  const Streams added = arc_streams({"a", "q.kx", "+src\\*zero.bin/kept"}, dir.path());
  EXPECT_EQ(added.status, 0);
  EXPECT_EQ(added.err, "lumra-arc: note: \"src\\*zero.bin\" selects every file in \"src\\\" ending in \".bin\" (DOS "
                       "patterns ignore what follows a \"*\")\n");
  EXPECT_EQ(lines(arc({"l", "q.kx"}, dir.path()).out).size(), 3u);
  EXPECT_EQ(arc_streams({"l", "p.kx", "*zero.bin", "-q"}, dir.path()).err, "");
}

TEST(LumraArc, TestActionFindsTheFirstDamagedMemberAndWritesNothing) {
  TempDir dir;
  write_three_files(dir / "src");
  const RunResult made = python(
      "import zipfile, struct\n"
      "for name, method in (('stored', zipfile.ZIP_STORED), ('deflated', zipfile.ZIP_DEFLATED)):\n"
      "  with zipfile.ZipFile(name + '.zip', 'w', method) as z:\n"
      "    for f in ('keep.bin', 'notes.txt', 'zero.bin'): z.write('src/' + f, f)\n"
      "  info = zipfile.ZipFile(name + '.zip').getinfo('notes.txt')\n"
      "  data = bytearray(open(name + '.zip', 'rb').read())\n"
      "  n, e = struct.unpack('<HH', data[info.header_offset + 26:info.header_offset + 30])\n"
      "  open(name + '-good.zip', 'wb').write(data)\n"
      "  data[info.header_offset + 30 + n + e + info.compress_size // 2] ^= 0x21\n"
      "  open(name + '-bad.zip', 'wb').write(data)\n",
      dir.path());
  ASSERT_EQ(made.status, 0) << made.out;
  const RunResult zipped = run({"zip", "-q", "../info.zip", "keep.bin", "notes.txt", "zero.bin"}, dir / "src");
  ASSERT_EQ(zipped.status, 0) << zipped.out;
  ASSERT_EQ(arc({"a", "good.kx", "+src\\keep.bin/", "+src\\notes.txt/", "+src\\zero.bin/"}, dir.path()).status, 0);
  // The second member's first block is zlib data: one flipped byte fails its check.
  Bytes native = read_file(dir / "good.kx");
  const auto records = native_records(native);
  ASSERT_EQ(records.size(), 3u);
  ASSERT_EQ(records[1].first, "notes.txt");
  native[records[1].second + 110 + 6 + 40] ^= 0x21;
  write_file(dir / "bad.kx", native);
  const std::vector<std::string> before = lines(run({"ls", "-A"}, dir.path()).out);

  const std::string all_ok = "testing: keep.bin OK\ntesting: notes.txt OK\ntesting: zero.bin OK\n"
                             "3 members tested, no errors\n";
  for (const std::string good : {"stored-good.zip", "deflated-good.zip", "info.zip", "good.kx"}) {
    SCOPED_TRACE(good);
    const Streams t = arc_streams({"t", good}, dir.path());
    EXPECT_EQ(t.status, 0) << t.err;
    EXPECT_EQ(t.out, all_ok);
    EXPECT_EQ(t.err, "");
  }
  for (const std::string bad : {"stored-bad.zip", "deflated-bad.zip", "bad.kx"}) {
    SCOPED_TRACE(bad);
    const Streams t = arc_streams({"t", bad}, dir.path());
    EXPECT_EQ(t.status, 1);
    EXPECT_EQ(t.out, "testing: keep.bin OK\n");
    ASSERT_EQ(lines(t.err).size(), 1u) << t.err;
    EXPECT_EQ(t.err.find("lumra-arc: "), 0u);
    EXPECT_NE(t.err.find("notes.txt"), std::string::npos) << t.err;
    EXPECT_EQ(run({"unzip", "-tq", dir / bad}).status == 0, false);
    const Streams quiet = arc_streams({"t", bad, "-q"}, dir.path());
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, t.err);
  }
  // Only the selected members are tested: the damaged one left out, the archive passes.
  const Streams picked = arc_streams({"t", "bad.kx", "*.bin"}, dir.path());
  EXPECT_EQ(picked.status, 0) << picked.err;
  EXPECT_EQ(picked.out, "testing: keep.bin OK\ntesting: zero.bin OK\n2 members tested, no errors\n");
  const Streams one = arc_streams({"t", "bad.kx", "keep.bin"}, dir.path());
  EXPECT_EQ(one.out, "testing: keep.bin OK\n1 member tested, no errors\n");
  // Bytes after the last record that read as no member are not passed over in silence.
  Bytes tail = read_file(dir / "good.kx");
  tail.insert(tail.end(), 200, 'j');
  write_file(dir / "tail.kx", tail);
  const Streams t = arc_streams({"t", "tail.kx"}, dir.path());
  EXPECT_EQ(t.status, 1);
  EXPECT_NE(t.err.find("200 bytes"), std::string::npos) << t.err;
  std::remove((dir / "tail.kx").c_str());
  EXPECT_EQ(lines(run({"ls", "-A"}, dir.path()).out), before) << "t wrote nothing";
}

TEST(LumraArc, AFileThatIsNoArchiveIsAnErrorAndAnEmptyOneAnArchiveWithoutMembers) {
  TempDir dir;
  Bytes noise(5000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 23);
  write_file(dir / "r.zip", noise);
  std::string text;
  while (text.size() < 2000) text += "This is a plain text file that someone named as if it were a zip archive.\n";
  write_file(dir / "g.zip", text);
  write_file(dir / "short.zip", std::string("hello\n"));
  write_file(dir / "e.zip", Bytes());
  write_file(dir / "e.kx", Bytes());
  write_file(dir / "a.txt", std::string("a"));
  for (const std::string file : {"r.zip", "g.zip", "short.zip"}) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"x", file}, {"l", file}, {"t", file}, {"d", file, "*.*"}, {"e", file, "-k", "7"}, {"a", file, "a.txt"},
             {"m", "new.kx", file}}) {
      std::string shown;
      for (const auto& a : args) shown += a + " ";
      SCOPED_TRACE(shown);
      const Streams r = arc_streams(args, dir.path());
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, "");
      ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
      EXPECT_EQ(r.err.find("lumra-arc: " + file + " is neither a zip archive nor a "), 0u) << r.err;
      EXPECT_NE(r.err.find("native archive"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(args.size() > 2 && args[2] == "-k" ? "key 7" : "-k KEY"), std::string::npos) << r.err;
    }
  }
  EXPECT_EQ(read_file(dir / "r.zip"), noise) << "nothing is added behind bytes that read as no member";
  EXPECT_FALSE(exists(dir / "new.kx"));
  // A real zip read as native by order of the user: only the native format was tried.
  ASSERT_EQ(run({"zip", "-q", "real.zip", "a.txt"}, dir.path()).status, 0);
  const Streams forced = arc_streams({"l", "real.zip", "-f", "native"}, dir.path());
  EXPECT_EQ(forced.status, 1);
  EXPECT_EQ(forced.err.find("lumra-arc: real.zip is no plain native archive (a scrambled one needs its key: -k KEY): "),
            0u)
      << forced.err;
  for (const std::string empty : {"e.zip", "e.kx"}) {
    SCOPED_TRACE(empty);
    const Streams l = arc_streams({"l", empty}, dir.path());
    EXPECT_EQ(l.status, 0) << l.err;
    EXPECT_EQ(l.out, "0 members, 0 bytes unpacked, 0 bytes stored\n");
    EXPECT_EQ(arc({"x", empty}, dir.path()).status, 0);
    EXPECT_EQ(arc_streams({"t", empty}, dir.path()).out, "0 members tested, no errors\n");
  }
}

TEST(LumraArc, VerboseNamesEachMemberAndQuietOnlyErrors) {
  TempDir dir;
  write_three_files(dir / "src");
  const Streams added = arc_streams({"a", "p.zip", "src\\*.*", "-v"}, dir.path());
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(lines(added.out),
            (std::vector<std::string>{"adding: src\\keep.bin", "adding: src\\notes.txt", "adding: src\\zero.bin"}));
  const Streams again = arc_streams({"a", "p.zip", "src\\keep.bin", "-v"}, dir.path());
  EXPECT_EQ(lines(again.out), (std::vector<std::string>{"replacing: src\\keep.bin", "adding: src\\keep.bin"}));
  EXPECT_EQ(arc_streams({"a", "p.zip", "src\\keep.bin"}, dir.path()).out, "") << "adding is silent without -v";
  make_dirs(dir / "out");
  const Streams extracted = arc_streams({"x", "../p.zip", "*.bin", "-v"}, dir / "out");
  EXPECT_EQ(extracted.status, 0) << extracted.err;
  EXPECT_EQ(lines(extracted.out), (std::vector<std::string>{"extracting: src\\zero.bin", "extracting: src\\keep.bin"}));
  EXPECT_EQ(arc_streams({"x", "../p.zip"}, dir / "out").out, "") << "extraction is silent without -v";
  const Streams merged = arc_streams({"m", "all.kx", "p.zip", "-v"}, dir.path());
  EXPECT_EQ(lines(merged.out).size(), 3u) << merged.out;
  EXPECT_EQ(lines(merged.out)[0], "adding: src\\notes.txt");

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"d", "all.kx", "*zero.bin", "-q"}, {"t", "all.kx", "-q"}, {"x", "../p.zip", "-q", "-v", "-q"}}) {
    SCOPED_TRACE(args[0]);
    const Streams q = arc_streams(args, args[0] == "x" ? dir / "out" : dir.path());
    EXPECT_EQ(q.status, 0);
    EXPECT_EQ(q.out, "");
    EXPECT_EQ(q.err, "");
  }
  EXPECT_EQ(lines(arc({"l", "all.kx"}, dir.path()).out).size(), 2u) << "-q deleted, silently";
  EXPECT_EQ(lines(arc_streams({"l", "all.kx", "-q"}, dir.path()).out).size(), 2u) << "l still lists";
  const Streams failed = arc_streams({"x", "missing.zip", "-q"}, dir.path());
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(lines(failed.err).size(), 1u) << "errors still show";
}

TEST(LumraArc, ListingPatternsApplyToBothFormats) {
  TempDir dir;
  make_dirs(dir / "src/sub");
  write_file(dir / "src/a.txt", sample(4000, 0));
  write_file(dir / "src/sub/b.bin", sample(2000, 1));
  for (const char* name : {"p.zip", "p.kx"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(arc({"r", name, "src\\*.*"}, dir.path()).status, 0);
    const auto all = lines(arc({"l", name}, dir.path()).out);
    ASSERT_EQ(all.size(), 3u);
    const auto some = lines(arc({"l", name, "*.bin"}, dir.path()).out);
    ASSERT_EQ(some.size(), 2u);
    EXPECT_EQ(fields(some[0])[1], "2000");
    EXPECT_EQ(some[1].find("1 member, 2000 bytes unpacked, "), 0u) << some[1];
  }
}

TEST(LumraArc, FilesPassedOverOnAddWarnAndExitWithOne) {
  TempDir dir;
  make_dirs(dir / "src");
  write_file(dir / "src/ok.txt", std::string("ok"));
  ASSERT_EQ(symlink("nowhere", (dir / "src/dangling.txt").c_str()), 0);
  const RunResult r = arc({"a", "p.zip", "+src\\*.*/"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("lumra-arc: warning: passed over src/dangling.txt"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 file passed over"), std::string::npos) << r.out;
  const auto listed = lines(arc({"l", "p.zip"}, dir.path()).out);
  ASSERT_EQ(listed.size(), 2u);  // what could be added was
  EXPECT_EQ(fields(listed[0])[0], "ok.txt");
}

TEST(LumraArc, ListingsShowControlsAndBidiOverridesEscaped) {
  TempDir dir;
  // U+202E reverses what follows it, U+0085 and the byte 0x9B are C1 controls, ESC starts a
  // terminal sequence.
  const RunResult made = python(
      "import zipfile\n"
      "with zipfile.ZipFile('e.zip', 'w') as z:\n"
      "  z.writestr('a\u202egnp.txt', 'x')\n"
      "  z.writestr('b\u0085c.txt', 'x')\n"
      "  z.writestr('d\u009b31m.txt', 'x')\n"
      "  z.writestr('\u00e9t\u00e9.txt', 'x')\n"
      "  z.writestr('f\\x1b]2;t\\x07.txt', 'x')\n",
      dir.path());
  ASSERT_EQ(made.status, 0) << made.out;
  const RunResult r = arc({"l", "e.zip"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  const auto l = lines(r.out);
  ASSERT_EQ(l.size(), 6u) << r.out;
  EXPECT_EQ(fields(l[0])[0], "a\\u202Egnp.txt");
  EXPECT_EQ(fields(l[1])[0], "b\\u0085c.txt");
  EXPECT_EQ(fields(l[2])[0], "d\\u009B31m.txt");
  EXPECT_EQ(fields(l[3])[0], "\xc3\xa9t\xc3\xa9.txt");  // other characters pass as they are
  EXPECT_EQ(fields(l[4])[0], "f\\x1B]2;t\\x07.txt");
  const RunResult x = arc({"x", "e.zip", "+*.*/+out"}, dir.path());
  EXPECT_EQ(x.status, 1);
  EXPECT_NE(x.out.find("f\\x1B]2;t\\x07.txt"), std::string::npos) << x.out;
  EXPECT_EQ(x.out.find('\x1b'), std::string::npos);
}

TEST(LumraArc, AZipWalkThatEndsEarlySaysHowManyEntriesWereLeft) {
  TempDir dir;
  const RunResult made = python(
      "import zipfile\n"
      "with zipfile.ZipFile('w.zip', 'w') as z:\n"
      "  for n in ('a.txt', '\\x01b.txt', 'c.txt', 'd.txt'): z.writestr(n, n)\n",
      dir.path());
  ASSERT_EQ(made.status, 0) << made.out;
  for (const char* action : {"l", "x"}) {
    SCOPED_TRACE(action);
    const RunResult r = arc({action, "w.zip"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("ended early"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 central-directory entries left unread"), std::string::npos) << r.out;
  }
  EXPECT_TRUE(exists(dir / "a.txt"));
  EXPECT_FALSE(exists(dir / "c.txt"));
}

// Zip members inflate on a second core while the files are written; a process held to one core
// (taskset) extracts on its own. Both ways give the same files, and the same refusal of a member
// whose stored bytes were damaged (only its CRC tells), with nothing of it left behind.
TEST(LumraArc, OneCoreAndTwoExtractTheSameAndRefuseTheSame) {
  TempDir dir;
  const RunResult made = python(
      "import zipfile, os, random\n"
      "r = random.Random(7)\n"
      "z = zipfile.ZipFile('p.zip', 'w', zipfile.ZIP_DEFLATED)\n"
      "for i in range(60):\n"
      "  z.writestr('t/f%02d.txt' % i, ' '.join(str(r.random()) for _ in range(r.randint(0, 3000))))\n"
      "z.writestr('empty.txt', '')\n"
      "z.writestr('sub/', '')\n"
      "z.writestr('stored.bin', os.urandom(600000), zipfile.ZIP_STORED)\n"
      "z.writestr('big.txt', 'scene mesh vertex ' * 100000)\n"
      "z.writestr('last.txt', 'the end')\n"
      "z.close()\n"
      "data = bytearray(open('p.zip', 'rb').read())\n"
      "info = zipfile.ZipFile('p.zip').getinfo('stored.bin')\n"
      "at = info.header_offset + 30 + len(info.filename) + len(info.extra)\n"
      "data[at + 300000] ^= 0x55\n"
      "open('bad.zip', 'wb').write(data)\n",
      dir.path());
  ASSERT_EQ(made.status, 0) << made.out;
  const std::vector<std::string> one_core = {"taskset", "-c", "0", LUMRA_ARC};
  std::vector<std::string> x1 = one_core;
  x1.insert(x1.end(), {"x", "p.zip", "+*.*/+one"});
  const RunResult r1 = run(x1, dir.path());
  ASSERT_EQ(r1.status, 0) << r1.out;
  const RunResult r2 = arc({"x", "p.zip", "+*.*/+two"}, dir.path());
  ASSERT_EQ(r2.status, 0) << r2.out;
  const RunResult listed = arc({"l", "p.zip"}, dir.path());
  size_t files = 0;
  for (const std::string& line : lines(listed.out)) {
    const std::vector<std::string> f = fields(line);
    if (f.size() < 2 || f[0].back() == '/') continue;
    SCOPED_TRACE(f[0]);
    ++files;
    const Bytes a = read_file(dir / "one/" + f[0]);
    EXPECT_EQ(a.size(), std::stoull(f[1]));
    EXPECT_EQ(a, read_file(dir / "two/" + f[0]));
  }
  EXPECT_EQ(files, 64u);
  std::vector<std::string> b1 = one_core;
  b1.insert(b1.end(), {"x", "bad.zip", "+*.*/+bad1"});
  for (const RunResult& bad : {run(b1, dir.path()), arc({"x", "bad.zip", "+*.*/+bad2"}, dir.path())}) {
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("stored.bin: CRC mismatch"), std::string::npos) << bad.out;
  }
  for (const char* out : {"bad1", "bad2"}) {
    SCOPED_TRACE(out);
    EXPECT_EQ(read_file(dir / out + "/t/f59.txt"), read_file(dir / "one/t/f59.txt"));
    EXPECT_FALSE(exists(dir / out + "/stored.bin"));
    EXPECT_FALSE(exists(dir / out + "/big.txt"));
  }
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(LumraArc, PeakMemoryStaysSmallWhateverThePackageSize) {
  TempDir dir;
  const RunResult made = python(
      "import zipfile, os\n"
      "z = zipfile.ZipFile('big.zip', 'w', zipfile.ZIP_DEFLATED, compresslevel=1)\n"
      "block = os.urandom(1 << 20)\n"
      "with z.open('random.bin', 'w') as f:\n"
      "  for i in range(48): f.write(block)\n"
      "with z.open('zeros.bin', 'w') as f:\n"
      "  for i in range(160): f.write(bytes(1 << 20))\n"
      "z.close()",
      dir.path());
  ASSERT_EQ(made.status, 0) << made.out;
  const RunResult r = arc({"x", "big.zip", "+*.*/+out"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_LT(r.max_rss_kb, 16 * 1024);
  struct stat st {};
  ASSERT_EQ(stat((dir / "out/zeros.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 160 << 20);
  const RunResult lie = arc({"x", std::string(LUMRA_MALFORMED) + "/zip-claims-gigabytes.zip",
                             "+*.*/+lie"},
                            dir.path());
  EXPECT_EQ(lie.status, 1);
  EXPECT_LT(lie.max_rss_kb, 16 * 1024);
}
#endif

}  // namespace
}  // namespace lumra::files
