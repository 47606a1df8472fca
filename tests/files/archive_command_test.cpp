// The archive command on both formats: round trips with every method and key, in-place deletion,
// adding over existing members, merges, listings, the selection edge cases, callbacks, and the
// promise that a failure changes nothing: no partial file, no altered archive, no temporary file.
#include "framework/files/archive_command.h"

#include <gtest/gtest.h>

#include "framework/base/heap.h"
#include "tests/files/archive_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

// Names in `folder` ending in `ending`.
std::vector<std::string> files_named(const std::string& folder, const std::string& ending) {
  std::vector<std::string> out;
  for (const auto& [name, bytes] : tree(folder)) {
    if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      out.push_back(name);
    }
  }
  return out;
}

TEST(ArchiveCommand, NativeRoundTripWithEveryMethodAndKey) {
  ArchiveFixture f;
  for (int method : {0, 1, 2, 4, 32, 33, 64, 128}) {
    for (int key : {0, 0x5A}) {
      SCOPED_TRACE(testing::Message() << "method " << method << " key " << key);
      const std::string archive = f.dir / ("m" + std::to_string(method) + "k" + std::to_string(key) + ".kx");
      ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}, key, nullptr, nullptr, method), 1) << base::last_error();
      const std::string out = f.dir / ("out" + std::to_string(method) + "_" + std::to_string(key));
      ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}, key), 1) << base::last_error();
      expect_same_tree(f.src, out);
      EXPECT_EQ(listed_names(archive, key).size(), 9u);
    }
  }
}

TEST(ArchiveCommand, ZipRoundTripWithEveryLevel) {
  ArchiveFixture f;
  for (int method : {0, 1, 8, 32}) {
    SCOPED_TRACE(method);
    const std::string archive = f.dir / ("m" + std::to_string(method) + ".zip");
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}, 0, nullptr, nullptr, method), 1) << base::last_error();
    const std::string out = f.dir / ("out" + std::to_string(method));
    ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}), 1) << base::last_error();
    expect_same_tree(f.src, out);
  }
}

TEST(ArchiveCommand, StoringRulesForNativeTargets) {
  TempDir dir;
  write_file(dir / "text.txt", sample(40000, 0));
  write_file(dir / "inner.zip", sample(40000, 0));  // compressible, but named as a packed file
  const std::string archive = dir / "s.kx";
  ASSERT_EQ(arc(kActionAddStored, archive, {"+" + bs(dir / "text.txt") + "/"}), 1);
  ASSERT_EQ(arc(kActionAdd, archive, {"+" + bs(dir / "inner.zip") + "/"}), 1);
  const std::string forced = dir / "c.kx";
  ASSERT_EQ(arc(kActionAdd, forced, {"+" + bs(dir / "inner.zip") + "/"}, 0, nullptr, nullptr, 32, 1), 1);
  Recorder r;
  ASSERT_EQ(arc(kActionList, archive, {}, 0, record_progress, &r), 1);
  ASSERT_EQ(r.events.size(), 3u);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(r.events[i].stored, 40000u + 110 + 3 * 6) << r.events[i].name;
  Recorder c;
  ASSERT_EQ(arc(kActionList, forced, {}, 0, record_progress, &c), 1);
  EXPECT_LT(c.events[0].stored, 30000u);
}

TEST(ArchiveCommand, NativeDeletionIsInPlaceAndKeepsTheOtherRecords) {
  ArchiveFixture f;
  const std::string archive = f.dir / "d.kx";
  ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}, 0x21), 1);
  const Bytes before = read_file(archive);
  Recorder sizes;
  arc(kActionList, archive, {"a\\b\\c.txt"}, 0x21, record_progress, &sizes);
  ASSERT_EQ(sizes.count, 1u);

  Recorder aborting;
  aborting.answer = 0;
  EXPECT_EQ(arc(kActionDelete, archive, {"a\\b\\c.txt"}, 0x21, record_progress, &aborting), 0);
  EXPECT_EQ(read_file(archive), before);  // judged before anything moved
  EXPECT_EQ(arc(kActionDelete, archive, {"nothing.here"}, 0x21), 1);
  EXPECT_EQ(read_file(archive), before);

  Recorder r;
  ASSERT_EQ(arc(kActionDelete, archive, {"a\\b\\c.txt"}, 0x21, record_progress, &r), 1);
  ASSERT_EQ(r.events.size(), 1u);
  EXPECT_EQ(r.events[0].action, kActionDelete);
  EXPECT_EQ(read_file(archive).size(), before.size() - sizes.total_stored);
  ASSERT_EQ(unlink((f.src + "/a/b/c.txt").c_str()), 0);
  const std::string out = f.dir / "out";
  ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}, 0x21), 1);
  expect_same_tree(f.src, out);
}

TEST(ArchiveCommand, AddingReplacesMembersOfTheSameNameAndKeepsTheRest) {
  for (const char* name : {"r.kx", "r.zip"}) {
    SCOPED_TRACE(name);
    ArchiveFixture f;
    const std::string archive = f.dir / name;
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}), 1);
    write_file(f.src + "/a/b/c.txt", std::string("changed"));
    set_mtime(f.src + "/a/b/c.txt", 1700000000);
    Recorder r;
    ASSERT_EQ(arc(kActionAdd, archive, {"+" + bs(f.src) + "\\a\\b\\c.txt/+a\\b"}, 0, record_progress, &r), 1)
        << base::last_error();
    EXPECT_EQ(listed_names(archive).size(), 9u);
    EXPECT_TRUE(files_named(f.dir.path(), ".~KX").empty());
    const std::string out = f.dir / "out";
    ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}), 1);
    expect_same_tree(f.src, out);
    bool replaced_reported = false;
    for (const Event& e : r.events) replaced_reported |= e.action == kActionDelete;
    EXPECT_TRUE(replaced_reported);
  }
}

TEST(ArchiveCommand, NamesThatDifferOnlyInCaseAreAddedAndReplacedApart) {
  for (const char* name : {"c.kx", "c.zip"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    make_dirs(dir / "src");
    write_file(dir / "src/Makefile", std::string("upper"));
    write_file(dir / "src/makefile", std::string("lower"));
    const std::string archive = dir / name;
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(dir / "src")}), 1) << base::last_error();
    EXPECT_EQ(listed_names(archive), (std::vector<std::string>{"Makefile", "makefile"}));
    write_file(dir / "src/Makefile", std::string("UPPER"));
    ASSERT_EQ(arc(kActionAdd, archive, {"+" + bs(dir / "src/Makefile") + "/"}), 1);
    const std::string out = dir / "out";
    ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}), 1) << base::last_error();
    EXPECT_EQ(read_file(out + "/Makefile"), Bytes({'U', 'P', 'P', 'E', 'R'}));
    EXPECT_EQ(read_file(out + "/makefile"), Bytes({'l', 'o', 'w', 'e', 'r'}));
    // The selection patterns ignore case: one pattern selects both.
    Recorder r;
    ASSERT_EQ(arc(kActionDelete, archive, {"MAKEFILE"}, 0, record_progress, &r), 1);
    EXPECT_EQ(r.events.size(), 2u);
    EXPECT_TRUE(listed_names(archive).empty());
  }
}

TEST(ArchiveCommand, MergesFromZipAndNativeSourcesIntoBothFormats) {
  ArchiveFixture f;
  TempDir other;
  make_dirs(other / "x");
  write_file(other / "x/extra.txt", sample(30000, 0, 9));
  set_mtime(other / "x/extra.txt", 1650000000);
  const std::string native_source = f.dir / "a.kx";
  const std::string zip_source = f.dir / "b.zip";
  ASSERT_EQ(arc(kActionAddTree, native_source, {all_under(f.src)}, 0x11), 1);
  ASSERT_EQ(arc(kActionAddTree, zip_source, {all_under(other.path())}), 1);
  for (const char* target : {"m.kx", "m.zip"}) {
    for (int key : {0x11, 0x44}) {
      SCOPED_TRACE(testing::Message() << target << " key " << key);
      const std::string archive = f.dir / target;
      unlink(archive.c_str());
      ASSERT_EQ(arc(kActionMerge, archive, {native_source, zip_source}, 0x11), 1) << base::last_error();
      const std::string out = f.dir / "merged";
      delete_tree(out.c_str());
      ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}, 0x11), 1) << base::last_error();
      EXPECT_TRUE(read_file(out + "/x/extra.txt") == read_file(other / "x/extra.txt"));
      EXPECT_EQ(mtime_of(out + "/x/extra.txt"), 1650000000);
      unlink((out + "/x/extra.txt").c_str());
      rmdir((out + "/x").c_str());
      expect_same_tree(f.src, out);
    }
  }
  EXPECT_EQ(arc(kActionMerge, f.dir / "m.kx", {f.dir / "missing.zip"}), 0);
}

TEST(ArchiveCommand, ListingReportsEveryMemberThenTheTotals) {
  ArchiveFixture f;
  for (const char* name : {"l.kx", "l.zip"}) {
    SCOPED_TRACE(name);
    const std::string archive = f.dir / name;
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}), 1);
    Recorder r;
    ASSERT_EQ(arc(kActionList, archive, {}, 0, record_progress, &r), 1);
    ASSERT_EQ(r.events.size(), 10u);
    uint64_t unpacked = 0;
    uint64_t stored = 0;
    for (size_t i = 0; i < 9; ++i) {
      unpacked += r.events[i].unpacked;
      stored += r.events[i].stored;
      EXPECT_EQ(r.events[i].value, 0);
    }
    EXPECT_EQ(r.count, 9u);
    EXPECT_EQ(r.total_unpacked, unpacked);
    EXPECT_EQ(r.total_stored, stored);
    EXPECT_EQ(r.events[9].name, archive);
    EXPECT_EQ(r.events[9].value, 1);
    EXPECT_EQ(r.events[0].name.find('\\') == std::string::npos, std::string(name) == "l.zip");  // zip keeps "/"
    Recorder some;
    ASSERT_EQ(arc(kActionList, archive, {"*.txt"}, 0, record_progress, &some), 1);
    // Native: empty.txt, a/b/c.txt, docs/Notes.TXT; a zip listing reports every member.
    EXPECT_EQ(some.count, std::string(name) == "l.zip" ? 9u : 3u);
  }
}

TEST(ArchiveCommand, ActionZeroAndUnknownActionsDoNothing) {
  TempDir dir;
  for (int action : {0, 9, -2, 100}) EXPECT_EQ(arc(action, dir / "none.kx", {"*.*"}), 1);
  EXPECT_FALSE(exists(dir / "none.kx"));
  EXPECT_EQ(arc(kActionToMemory, dir / "none.kx", {"*.*"}), 0);  // the public form offers no -1
  EXPECT_EQ(arc(kActionExtract, dir / "none.kx", {"*.*"}), 0);
}

TEST(ArchiveCommand, TheSelectionEdgeCases) {
  TempDir dir;
  make_dirs(dir / "src/a/b");
  write_file(dir / "src/a/b/c.txt", std::string("c"));
  const std::string archive = dir / "p.zip";
  ASSERT_EQ(arc(kActionAddTree, archive, {all_under(dir / "src")}), 1);

  ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(dir / "D/out")}), 1);
  EXPECT_TRUE(exists(dir / "D/out/a/b/c.txt"));
  make_dirs(dir / "cwd");
  {
    InFolder in(dir / "cwd");
    EXPECT_EQ(arc(kActionExtract, archive, {"*.*"}), 1);
    EXPECT_EQ(arc(kActionExtractBare, archive, {"*.*"}), 1);
    EXPECT_EQ(arc(kActionExtract, archive, {"+*.*"}), 1);  // no "/": selects nothing
  }
  EXPECT_TRUE(exists(dir / "cwd/a/b/c.txt"));
  EXPECT_TRUE(exists(dir / "cwd/c.txt"));
  EXPECT_EQ(tree(dir / "cwd").size(), 2u);

  ASSERT_EQ(python("import zipfile\nz = zipfile.ZipFile('empty.zip', 'w')\nz.close()", dir.path()).status, 0);
  EXPECT_EQ(arc(kActionExtract, dir / "empty.zip", {"+*.*/+" + bs(dir / "e")}), 1);
  EXPECT_EQ(listed_names(dir / "empty.zip").size(), 0u);
  EXPECT_EQ(arc(kActionDelete, dir / "empty.zip", {"*.*"}), 1);

  ASSERT_EQ(arc(kActionAddTree, dir / "native.kx", {all_under(dir / "src")}), 1);
  ASSERT_EQ(rename((dir / "native.kx").c_str(), (dir / "native.zip").c_str()), 0);
  EXPECT_EQ(detect_archive_format((dir / "native.zip").c_str()), kFormatNative);
  EXPECT_EQ(listed_names(dir / "native.zip"), std::vector<std::string>{"a\\b\\c.txt"});
}

TEST(ArchiveCommand, FormatDetection) {
  TempDir dir;
  write_file(dir / "pk.bin", std::string("PK\x03\x04rest"));
  write_file(dir / "end.bin", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  write_file(dir / "text.zip", std::string("plain text"));
  write_file(dir / "short.ZIP", std::string("PK"));
  write_file(dir / "short.docx", std::string(""));
  write_file(dir / "short.kx", std::string("PK"));
  EXPECT_EQ(detect_archive_format((dir / "pk.bin").c_str()), kFormatZip);
  EXPECT_EQ(detect_archive_format((dir / "end.bin").c_str()), kFormatZip);
  EXPECT_EQ(detect_archive_format((dir / "text.zip").c_str()), kFormatNative);
  EXPECT_EQ(detect_archive_format((dir / "short.ZIP").c_str()), kFormatZip);
  EXPECT_EQ(detect_archive_format((dir / "short.docx").c_str()), kFormatZip);
  EXPECT_EQ(detect_archive_format((dir / "short.kx").c_str()), kFormatNative);
  EXPECT_EQ(detect_archive_format((dir / "missing.zip").c_str()), kFormatZip);
  EXPECT_EQ(detect_archive_format((dir / "missing.lvr").c_str()), kFormatNative);
}

TEST(ArchiveCommand, DirectoryMembersMakeFoldersOnly) {
  TempDir dir;
  ASSERT_EQ(python("import zipfile\n"
                   "z = zipfile.ZipFile('d.zip', 'w')\n"
                   "z.writestr('top/', '')\n"
                   "z.writestr('top/inner/', '')\n"
                   "z.writestr('top/f.txt', 'f')\n"
                   "z.close()",
                   dir.path())
                .status,
            0);
  ASSERT_EQ(arc(kActionExtract, dir / "d.zip", {"+*.*/+" + bs(dir / "out")}), 1) << base::last_error();
  struct stat st {};
  ASSERT_EQ(stat((dir / "out/top/inner").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_TRUE(exists(dir / "out/top/f.txt"));
}

TEST(ArchiveCommand, LongZipNamesExtractUnderTheirFullNames) {
  TempDir dir;
  const std::string name = std::string(60, 'd') + "/" + std::string(70, 'f') + ".txt";
  ASSERT_EQ(python("import zipfile\nz = zipfile.ZipFile('long.zip', 'w')\nz.writestr('" + name + "', 'x')\nz.close()",
                   dir.path())
                .status,
            0);
  ASSERT_EQ(arc(kActionExtract, dir / "long.zip", {"+*.*/+" + bs(dir / "out")}), 1) << base::last_error();
  EXPECT_TRUE(exists(dir / "out/" + name));
  Recorder r;
  ASSERT_EQ(arc(kActionList, dir / "long.zip", {}, 0, record_progress, &r), 1);
  EXPECT_EQ(r.events[0].name, name);
}

TEST(ArchiveCommand, NamesThatDoNotFitANativeHeaderAreRefused) {
  TempDir dir;
  make_dirs(dir / "s");
  write_file(dir / "s" + ("/" + std::string(90, 'n')), std::string("x"));
  write_file(dir / "s/ok.txt", std::string("x"));
  const std::string archive = dir / "n.kx";
  ASSERT_EQ(arc(kActionAdd, archive, {"+" + bs(dir / "s") + "\\ok.txt/"}), 1);
  const Bytes before = read_file(archive);
  EXPECT_EQ(arc(kActionAdd, archive, {all_under(dir / "s")}), 0);
  EXPECT_NE(std::string(base::last_error()).find("79 bytes"), std::string::npos);
  EXPECT_EQ(read_file(archive), before);
  EXPECT_TRUE(files_named(dir.path(), ".~KX").empty());
}

TEST(ArchiveCommand, FilesThatCannotBeOpenedArePassedOverAndNoted) {
  for (const char* name : {"p.kx", "p.zip"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    make_dirs(dir / "src");
    write_file(dir / "src/ok.txt", std::string("ok"));
    write_file(dir / "src/gone.txt", std::string("old copy"));
    const std::string archive = dir / name;
    ASSERT_EQ(arc(kActionAdd, archive, {"+" + bs(dir / "src") + "\\*.*/"}), 1);
    ASSERT_EQ(unlink((dir / "src/gone.txt").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (dir / "src/gone.txt").c_str()), 0);  // dangling
    ASSERT_EQ(mkfifo((dir / "src/pipe.txt").c_str(), 0600), 0);          // would hang a plain open
    write_file(dir / "src/ok.txt", std::string("new"));
    for (int action : {kActionAdd, kActionAddTree, kActionAddStored}) {
      ASSERT_EQ(arc(action, archive, {"+" + bs(dir / "src") + "\\*.*/"}), 1) << base::last_error();
      EXPECT_EQ(last_command_notes().passed_over.size(), 2u);
      EXPECT_NE(std::string(base::last_error()).find("passed over"), std::string::npos) << base::last_error();
      EXPECT_EQ(listed_names(archive).size(), 2u);  // the old gone.txt stays, no pipe.txt
      const std::string out = dir / "out";
      delete_tree(out.c_str());
      ASSERT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}), 1);
      EXPECT_EQ(read_file(out + "/gone.txt"), Bytes({'o', 'l', 'd', ' ', 'c', 'o', 'p', 'y'}));
      EXPECT_EQ(read_file(out + "/ok.txt"), Bytes({'n', 'e', 'w'}));
      EXPECT_TRUE(last_command_notes().passed_over.empty());
    }
  }
}

TEST(ArchiveCommand, AnAbortedAddOrDeleteChangesNothing) {
  for (const char* name : {"x.kx", "x.zip"}) {
    SCOPED_TRACE(name);
    ArchiveFixture f;
    const std::string archive = f.dir / name;
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}), 1);
    const Bytes before = read_file(archive);
    write_file(f.src + "/new.txt", std::string("new"));
    Recorder r;
    r.abort_after = 3;
    EXPECT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}, 0, record_progress, &r), 0);
    EXPECT_EQ(read_file(archive), before);
    EXPECT_TRUE(files_named(f.dir.path(), ".~KX").empty());  // no temporary archive left
    Recorder d;
    d.answer = 0;
    EXPECT_EQ(arc(kActionDelete, archive, {"*.*"}, 0, record_progress, &d), 0);
    EXPECT_EQ(read_file(archive), before);
    EXPECT_TRUE(files_named(f.dir.path(), ".~KX").empty());
  }
}

// Offset of the first member's stored data in a zip written by the command.
size_t first_data_offset(const Bytes& zip) { return 30 + (zip[26] | zip[27] << 8) + (zip[28] | zip[29] << 8); }

TEST(ArchiveCommand, AFailedMemberLeavesNoPartialFile) {
  TempDir dir;
  write_file(dir / "big.txt", sample(200000, 0));
  ASSERT_EQ(arc(kActionAdd, dir / "c.zip", {"+" + bs(dir / "big.txt") + "/"}, 0, nullptr, nullptr, 0), 1);
  Bytes zip = read_file(dir / "c.zip");
  zip[first_data_offset(zip) + 100000] ^= 0x55;  // a stored deflate block: only the CRC notices
  write_file(dir / "c.zip", zip);
  EXPECT_EQ(arc(kActionExtract, dir / "c.zip", {"+*.*/+" + bs(dir / "out")}), 0);
  EXPECT_NE(std::string(base::last_error()).find("CRC"), std::string::npos);
  EXPECT_FALSE(exists(dir / "out/big.txt"));

  ASSERT_EQ(arc(kActionAdd, dir / "c.kx", {"+" + bs(dir / "big.txt") + "/"}), 1);
  Bytes kx = read_file(dir / "c.kx");
  kx[110 + 6 * 3 + 5] ^= 0xFF;  // inside the data of an early block
  write_file(dir / "c.kx", kx);
  Recorder r;
  EXPECT_EQ(arc(kActionExtract, dir / "c.kx", {"+*.*/+" + bs(dir / "out2")}, 0, record_progress, &r), 0);
  EXPECT_FALSE(exists(dir / "out2/big.txt"));
  bool asked_to_retry = false;
  for (const Event& e : r.events) asked_to_retry |= e.code == kProgressRetry;
  EXPECT_TRUE(asked_to_retry);
}

TEST(ArchiveCommand, AnOutputThatCannotBeMadeFailsUnlessTheCallbackPassesItOver) {
  ArchiveFixture f;
  const std::string archive = f.dir / "o.zip";
  ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}), 1);
  const std::string out = f.dir / "out";
  make_dirs(out + "/index.html");  // a folder in the way of one member
  EXPECT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}), 0);
  Recorder abort_it;
  abort_it.answer_code2 = 1;
  EXPECT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}, 0, record_progress, &abort_it), 0);
  Recorder pass;
  EXPECT_EQ(arc(kActionExtract, archive, {"+*.*/+" + bs(out)}, 0, record_progress, &pass), 1);
  int code2 = 0;
  for (const Event& e : pass.events) code2 += e.code == kProgressCannotCreate;
  EXPECT_EQ(code2, 1);
  EXPECT_TRUE(exists(out + "/a/objects_data.js"));
}

TEST(ArchiveCommand, ExtractionReportsEachMemberAndItsBytes) {
  TempDir dir;
  write_file(dir / "f.bin", sample(40000, 1));
  write_file(dir / "big.txt", sample(300000, 0));
  for (const char* name : {"p.kx", "p.zip"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(arc(kActionAdd, dir / name, {"+" + bs(dir / "f.bin") + "/", "+" + bs(dir / "big.txt") + "/"}), 1);
    Recorder r;
    ASSERT_EQ(arc(kActionExtract, dir / name, {"+*.*/+" + bs(dir / "o")}, 0, record_progress, &r), 1);
    // Every block of at most 16,384 bytes is reported, in both formats.
    std::vector<int64_t> want = {0, 16384, 32768, 40000, 0};
    for (int64_t done = 16384; done < 300000; done += 16384) want.push_back(done);
    want.push_back(300000);
    std::vector<int64_t> values;
    for (const Event& e : r.events) values.push_back(e.value);
    EXPECT_EQ(values, want);
  }
}

TEST(ArchiveCommand, BlocksOfZerosBecomeHolesAndReadBackTheSame) {
  TempDir dir;
  Bytes data(5 << 20, 0);
  for (size_t i = 0; i < 4000; ++i) data[(1 << 20) + 100 + i] = static_cast<uint8_t>(i * 7 + 1);
  data.back() = 'z';
  write_file(dir / "sparse.bin", data);
  for (const char* name : {"s.zip", "s.kx"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(arc(kActionAdd, dir / name, {"+" + bs(dir / "sparse.bin") + "/"}), 1) << base::last_error();
    const std::string out = dir / (std::string(name) + ".out");
    ASSERT_EQ(arc(kActionExtract, dir / name, {"+*.*/+" + bs(out)}), 1) << base::last_error();
    EXPECT_TRUE(read_file(out + "/sparse.bin") == data);
    struct stat st {};
    ASSERT_EQ(stat((out + "/sparse.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 5 << 20);
    // The zeros take no room (every file system Debian installs on keeps holes).
    EXPECT_LT(st.st_blocks * 512, 1 << 20);
  }
  // A member that ends in zeros still has its full length.
  Bytes tail(300000, 0);
  tail[0] = 'a';
  write_file(dir / "tail.bin", tail);
  ASSERT_EQ(arc(kActionAdd, dir / "t.zip", {"+" + bs(dir / "tail.bin") + "/"}), 1);
  ASSERT_EQ(arc(kActionExtract, dir / "t.zip", {"+*.*/+" + bs(dir / "t")}), 1);
  EXPECT_TRUE(read_file(dir / "t/tail.bin") == tail);
}

TEST(ArchiveCommand, ActionMinusOneReadsTheFirstSelectedMemberIntoMemory) {
  ArchiveFixture f;
  for (const char* name : {"mem.kx", "mem.zip"}) {
    SCOPED_TRACE(name);
    const std::string archive = f.dir / name;
    ASSERT_EQ(arc(kActionAddTree, archive, {all_under(f.src)}), 1);
    const std::vector<char> list = selection({"*.js"});
    MemberHeader h{};
    uint8_t* data = nullptr;
    ASSERT_EQ(archive_command_internal(kActionToMemory, archive.c_str(), 1, list.data(), 0, nullptr, nullptr, 32, 0,
                                       kFormatDetect, &h, &data),
              1)
        << base::last_error();
    const Bytes want = read_file(f.src + "/a/objects_data.js");
    ASSERT_EQ(h.unpacked_size, want.size());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), data));
    base::heap_free(data);
    const std::vector<char> none = selection({"*.none"});
    EXPECT_EQ(archive_command_internal(kActionToMemory, archive.c_str(), 1, none.data(), 0, nullptr, nullptr, 32, 0,
                                       kFormatDetect, &h, &data),
              0);
    EXPECT_EQ(data, nullptr);
  }
}

TEST(ArchiveCommand, ActionMinusOneDoesNotTrustAClaimedSize) {
  TempDir dir;
  write_file(dir / "small.txt", sample(5000, 0));
  ASSERT_EQ(arc(kActionAdd, dir / "lie.kx", {"+" + bs(dir / "small.txt") + "/"}), 1);
  Bytes kx = read_file(dir / "lie.kx");
  kx[84] = 0xF0;  // unpacked size 0xFFFFFxxx: far more than the record can hold
  kx[85] = kx[86] = kx[87] = 0xFF;
  write_file(dir / "lie.kx", kx);
  const size_t before = base::heap_stats(base::heap_current()).bytes_in_use;
  const std::vector<char> list = selection({"*.*"});
  MemberHeader h{};
  uint8_t* data = reinterpret_cast<uint8_t*>(&h);
  EXPECT_EQ(archive_command_internal(kActionToMemory, (dir / "lie.kx").c_str(), 1, list.data(), 0, nullptr, nullptr, 32,
                                     0, kFormatDetect, &h, &data),
            0);
  EXPECT_EQ(data, nullptr);
  EXPECT_NE(std::string(base::last_error()).find("claims"), std::string::npos);
  EXPECT_EQ(base::heap_stats(base::heap_current()).bytes_in_use, before);
}

}  // namespace
}  // namespace lumra::files
