// The archive command against archives made and checked by other tools, run for real: Info-ZIP
// zip and unzip, Python's zipfile, bsdtar.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/files/archive_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

TEST(ArchiveInterop, InfoZipTreesExtractByteForByteWithTimes) {
  ArchiveFixture f;
  const RunResult z = run({"zip", "-q", "-r", f.dir / "info.zip", "."}, f.src);
  ASSERT_EQ(z.status, 0) << z.out;
  ASSERT_EQ(arc(kActionExtract, f.dir / "info.zip", {"+*.*/+" + bs(f.dir / "out")}), 1) << base::last_error();
  expect_same_tree(f.src, f.dir / "out");
}

TEST(ArchiveInterop, PythonZipfileStoredAndDeflated) {
  ArchiveFixture f;
  const RunResult p = python(
      "import os, time, zipfile\n"
      "z = zipfile.ZipFile('py.zip', 'w')\n"
      "for i, (folder, _, names) in enumerate(sorted(os.walk('src'))):\n"
      "  for n in sorted(names):\n"
      "    path = os.path.join(folder, n)\n"
      "    method = zipfile.ZIP_STORED if len(n) % 2 else zipfile.ZIP_DEFLATED\n"
      "    z.write(path, os.path.relpath(path, 'src'), compress_type=method)\n"
      "z.close()",
      f.dir.path());
  ASSERT_EQ(p.status, 0) << p.out;
  ASSERT_EQ(arc(kActionExtract, f.dir / "py.zip", {"+*.*/+" + bs(f.dir / "out")}), 1) << base::last_error();
  expect_same_tree(f.src, f.dir / "out");
}

TEST(ArchiveInterop, BsdtarZip) {
  ArchiveFixture f;
  const RunResult b = run({"bsdtar", "--format", "zip", "-cf", f.dir / "b.zip", "-C", f.src, "."});
  ASSERT_EQ(b.status, 0) << b.out;
  ASSERT_EQ(arc(kActionExtract, f.dir / "b.zip", {"+*.*/+" + bs(f.dir / "out")}), 1) << base::last_error();
  expect_same_tree(f.src, f.dir / "out");
}

// Member names are the bytes the file system has, passed on unchanged both ways: UTF-8 names and
// bytes that are no UTF-8 at all, in our own archives of both formats and in zips made by Info-ZIP
// and Python (which marks UTF-8 names with flag bit 11).
TEST(ArchiveInterop, NonAsciiMemberNamesPassUnchanged) {
  TempDir dir;
  const std::string src = dir / "src";
  const char* names[] = {"caf\xC3\xA9.txt", "r\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC/notes.txt", "\x82t\xE9.bin"};
  for (const char* name : names) {
    const std::string path = src + "/" + name;
    make_dirs(path.substr(0, path.rfind('/')));
    write_file(path, std::string(name) + " inside");
    set_mtime(path, 1600000000);
  }
  const std::vector<std::string> stored = {"caf\xC3\xA9.txt", "r\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC/notes.txt", "\x82t\xE9.bin"};
  for (const char* format : {"kx", "zip"}) {
    SCOPED_TRACE(format);
    const std::string archive = dir / (std::string("n.") + format);
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(src)}), 1) << base::last_error();
    std::vector<std::string> listed = listed_names(archive);
    for (std::string& n : listed) n = with_separator(n, '/');
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected = stored;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    const std::string out = dir / (std::string("out_") + format);
    ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}), 1) << base::last_error();
    expect_same_tree(src, out);
    // One member chosen by its name.
    const std::string one = dir / (std::string("one_") + format);
    ASSERT_EQ(arc(kActionExtract, archive, {"+caf\xC3\xA9.txt/+" + bs(one)}), 1) << base::last_error();
    EXPECT_TRUE(exists(one + "/caf\xC3\xA9.txt"));
  }
  const RunResult z = run({"zip", "-q", "-r", dir / "info.zip", "."}, src);
  ASSERT_EQ(z.status, 0) << z.out;
  ASSERT_EQ(arc(kActionExtract, dir / "info.zip", {"+*.*/+" + bs(dir / "info")}), 1) << base::last_error();
  expect_same_tree(src, dir / "info");
  const RunResult p = python(
      "import zipfile\n"
      "with zipfile.ZipFile('py.zip', 'w') as z:\n"
      "  z.writestr('caf\\u00e9.txt', b'caf\\xc3\\xa9.txt inside')\n"
      "assert int.from_bytes(open('py.zip', 'rb').read()[6:8], 'little') & 0x800\n",
      dir.path());
  ASSERT_EQ(p.status, 0) << p.out;
  ASSERT_EQ(arc(kActionExtract, dir / "py.zip", {"+*.*/+" + bs(dir / "py")}), 1) << base::last_error();
  const std::string inside = "caf\xC3\xA9.txt inside";
  EXPECT_EQ(read_file(dir / "py/caf\xC3\xA9.txt"), Bytes(inside.begin(), inside.end()));
}

TEST(ArchiveInterop, ZipsWeWritePassUnzipTest) {
  ArchiveFixture f;
  for (int method : {0, 1, 32, 128}) {
    SCOPED_TRACE(method);
    const std::string archive = f.dir / ("w" + std::to_string(method) + ".zip");
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}, 0, nullptr, nullptr, method), 1);
    const RunResult t = run({"unzip", "-t", archive});
    EXPECT_EQ(t.status, 0) << t.out;
    EXPECT_NE(t.out.find("No errors detected"), std::string::npos) << t.out;
    const RunResult x = run({"unzip", "-q", archive, "-d", f.dir / ("u" + std::to_string(method))});
    ASSERT_EQ(x.status, 0) << x.out;
    expect_same_tree(f.src, f.dir / ("u" + std::to_string(method)), false);
  }
  const RunResult p = python("import zipfile, sys\nsys.exit(zipfile.ZipFile('w32.zip').testzip() is not None)", f.dir.path());
  EXPECT_EQ(p.status, 0) << p.out;
}

// unzip -v: one line per member with length, method, size, ratio, date, time, CRC and name.
// Folders made during the test have odd-second times, which Info-ZIP keeps exactly in an extra
// field (shown by unzip) but rounds in the DOS time: copies carry only the DOS time, so the date
// and time of folder lines are left out.
std::string comparable(const std::string& line) {
  if (line.empty() || line.back() != '/') return line;
  std::istringstream in(line);
  std::string length, method, size, ratio, date, time, crc, name;
  in >> length >> method >> size >> ratio >> date >> time >> crc >> name;
  return length + " " + method + " " + size + " " + crc + " " + name;
}

std::vector<std::string> member_lines(const std::string& archive) {
  const RunResult v = run({"unzip", "-v", archive});
  EXPECT_EQ(v.status, 0) << v.out;
  std::vector<std::string> out;
  std::istringstream in(v.out);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() > 60 && (line.find("Defl") != std::string::npos || line.find("Stored") != std::string::npos)) {
      out.push_back(comparable(line));
    }
  }
  return out;
}

TEST(ArchiveInterop, DeletionKeepsStoredBytesCrcAndMethodOfKeptMembers) {
  ArchiveFixture f;
  ASSERT_EQ(run({"zip", "-q", "-r", "-9", f.dir / "k.zip", "a", "docs"}, f.src).status, 0);
  ASSERT_EQ(run({"zip", "-q", "-1", f.dir / "k.zip", "index.html"}, f.src).status, 0);
  ASSERT_EQ(run({"zip", "-q", "-0", f.dir / "k.zip", "logo.png"}, f.src).status, 0);
  const auto before = member_lines(f.dir / "k.zip");
  ASSERT_GE(before.size(), 9u);
  ASSERT_EQ(arc(kActionDelete, f.dir / "k.zip", {"a/b/c.txt"}), 1) << base::last_error();
  const auto after = member_lines(f.dir / "k.zip");
  std::vector<std::string> kept;
  for (const std::string& l : before) {
    if (l.find("a/b/c.txt") == std::string::npos) kept.push_back(l);
  }
  EXPECT_EQ(after, kept);
  const RunResult t = run({"unzip", "-t", f.dir / "k.zip"});
  EXPECT_EQ(t.status, 0) << t.out;
  for (const auto& [name, bytes] : tree(f.dir.path())) EXPECT_EQ(name.find(".~KX"), std::string::npos) << name;
}

TEST(ArchiveInterop, AddingToAnInfoZipArchiveKeepsItsMembers) {
  ArchiveFixture f;
  ASSERT_EQ(run({"zip", "-q", "-r", f.dir / "g.zip", "."}, f.src).status, 0);
  const auto before = member_lines(f.dir / "g.zip");
  write_file(f.dir / "added.txt", sample(5000, 0));
  ASSERT_EQ(arc(kActionAdd, f.dir / "g.zip", {"+" + bs(f.dir / "added.txt") + "/"}), 1) << base::last_error();
  const auto after = member_lines(f.dir / "g.zip");
  ASSERT_EQ(after.size(), before.size() + 1);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
  EXPECT_NE(after.back().find("added.txt"), std::string::npos);
  EXPECT_EQ(run({"unzip", "-t", f.dir / "g.zip"}).status, 0);
}

}  // namespace
}  // namespace lumra::files
