// lumra-arc as a user runs it: help, usage errors (exit 2), failures with one line on stderr
// (exit 1), the listing format, every action, and its peak memory on a large package.
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

TEST(LumraArc, Help) {
  for (const char* flag : {"--help", "-h"}) {
    const RunResult r = arc({flag});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("usage: lumra-arc ACTION ARCHIVE"), 0u) << r.out;
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
