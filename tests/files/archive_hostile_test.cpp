// Hostile archives: names that try to leave the destination, links, deep paths, many members,
// truncated and lying zip directories, lying native records, and every file of
// data/malformed/. Whatever they try, the command fails cleanly and writes nothing outside.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "framework/base/bytes.h"
#include "framework/base/heap.h"
#include "framework/files/native_archive.h"
#include "tests/files/archive_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

std::string hex(const std::string& s) {
  static const char* const kDigits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

struct Member {
  std::string name;
  std::string data;
  unsigned unix_mode = 0;  // for links: 0120777
};

// A zip written by Python's zipfile with exactly these names (it does not clean them).
void python_zip(const std::string& path, const std::vector<Member>& members, bool deflate = true) {
  std::string script = "import zipfile\nz = zipfile.ZipFile(" + std::string("bytes.fromhex('") + hex(path) +
                       "').decode(), 'w')\n";
  for (const Member& m : members) {
    script += "i = zipfile.ZipInfo(bytes.fromhex('" + hex(m.name) + "').decode('latin-1'), (2020, 1, 1, 0, 0, 0))\n";
    script += std::string("i.compress_type = zipfile.") + (deflate ? "ZIP_DEFLATED" : "ZIP_STORED") + "\n";
    if (m.unix_mode) script += "i.external_attr = " + std::to_string(m.unix_mode) + " << 16\n";
    script += "z.writestr(i, bytes.fromhex('" + hex(m.data) + "'))\n";
  }
  script += "z.close()\n";
  const RunResult r = python(script);
  ASSERT_EQ(r.status, 0) << r.out;
}

// Names in a folder, sorted.
std::vector<std::string> entries_of(const std::string& folder) {
  std::vector<std::string> out;
  DIR* d = opendir(folder.c_str());
  if (!d) return out;
  while (const dirent* e = readdir(d)) {
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.emplace_back(e->d_name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

// A sandbox: sandbox/outside (must stay empty), sandbox/dest (extraction goes there), archives
// beside them.
struct Sandbox {
  TempDir dir;
  std::string outside = dir / "outside";
  std::string dest = dir / "dest";
  Sandbox() {
    make_dirs(outside);
    make_dirs(dest);
  }
  int extract(const std::string& archive, int format = kFormatDetect) {
    return arc(kActionExtract, archive, {"+*.*/+" + bs(dest)}, 0, nullptr, nullptr, 32, 0, format);
  }
  void expect_nothing_outside(const std::vector<std::string>& archives) {
    EXPECT_TRUE(entries_of(outside).empty());
    std::vector<std::string> want = {"dest", "outside"};
    for (const std::string& a : archives) want.push_back(a);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(entries_of(dir.path()), want);
  }
};

TEST(Hostile, NamesThatEscapeAreRefusedAndListedAsTheyAre) {
  Sandbox s;
  const std::string names[] = {"../evil.txt",          "..\\evil.txt",   "a/../../evil.txt", "a\\..\\..\\evil.txt",
                               s.outside + "/evil.txt", "C:\\evil.txt",   "C:evil.txt",       "\\evil.txt",
                               "..",                   "ok/../../../evil"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    python_zip(s.dir / "e.zip", {{"good.txt", "good"}, {name, "evil"}});
    EXPECT_EQ(s.extract(s.dir / "e.zip"), 0);
    EXPECT_NE(std::string(base::last_error()).find("refused"), std::string::npos) << base::last_error();
    const auto names_listed = listed_names(s.dir / "e.zip");
    ASSERT_EQ(names_listed.size(), 2u);
    EXPECT_EQ(names_listed[1], name);
    s.expect_nothing_outside({"e.zip"});
  }
}

TEST(Hostile, LinkMembersAreWrittenAsPlainFilesAndNeverFollowed) {
  Sandbox s;
  python_zip(s.dir / "l.zip", {{"link", "../outside", 0120777}, {"link/evil.txt", "evil"}});
  EXPECT_EQ(s.extract(s.dir / "l.zip"), 0);
  struct stat st {};
  ASSERT_EQ(lstat((s.dest + "/link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  s.expect_nothing_outside({"l.zip"});

  // The same through Info-ZIP's own link storage (zip -y).
  Sandbox t;
  make_dirs(t.dir / "src");
  ASSERT_EQ(symlink(t.outside.c_str(), (t.dir / "src/ln").c_str()), 0);
  ASSERT_EQ(run({"zip", "-q", "-y", t.dir / "y.zip", "ln"}, t.dir / "src").status, 0);
  EXPECT_EQ(t.extract(t.dir / "y.zip"), 1);
  ASSERT_EQ(lstat((t.dest + "/ln").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(read_file(t.dest + "/ln"), Bytes(t.outside.begin(), t.outside.end()));
}

TEST(Hostile, ALinkAlreadyInTheDestinationIsNotFollowed) {
  Sandbox s;
  ASSERT_EQ(symlink(s.outside.c_str(), (s.dest + "/sub").c_str()), 0);
  python_zip(s.dir / "p.zip", {{"sub/evil.txt", "evil"}});
  EXPECT_EQ(s.extract(s.dir / "p.zip"), 0);
  EXPECT_NE(std::string(base::last_error()).find("symbolic link"), std::string::npos);
  EXPECT_TRUE(entries_of(s.outside).empty());
}

TEST(Hostile, DeepPaths) {
  Sandbox s;
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "d/";
  python_zip(s.dir / "deep.zip", {{deep + "f.txt", "deep"}});
  EXPECT_EQ(s.extract(s.dir / "deep.zip"), 1) << base::last_error();
  EXPECT_TRUE(exists(s.dest + "/" + deep + "f.txt"));
  std::string deeper;
  for (int i = 0; i < 2100; ++i) deeper += "e/";
  python_zip(s.dir / "deeper.zip", {{deeper + "f.txt", "x"}});
  EXPECT_EQ(s.extract(s.dir / "deeper.zip"), 0);
  EXPECT_NE(std::string(base::last_error()).find("longer than 4095"), std::string::npos);
  EXPECT_FALSE(exists(s.dest + "/e"));
  EXPECT_EQ(delete_tree(s.dest.c_str()), 1);
}

TEST(Hostile, TwentyThousandMembers) {
  Sandbox s;
  const RunResult r = python(
      "import zipfile\n"
      "z = zipfile.ZipFile('many.zip', 'w', zipfile.ZIP_DEFLATED)\n"
      "for i in range(20000):\n"
      "  z.writestr('f%03d/m%05d.txt' % (i % 100, i), 'member %d' % i)\n"
      "z.close()",
      s.dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  Recorder listing;
  ASSERT_EQ(arc(kActionList, s.dir / "many.zip", {}, 0, record_progress, &listing), 1);
  EXPECT_EQ(listing.count, 20000u);
  ASSERT_EQ(s.extract(s.dir / "many.zip"), 1) << base::last_error();
  base::DynArray all{};
  ASSERT_EQ(list_files(&all, (s.dest + "/*.txt").c_str(), 1, kListFiles), 1);
  EXPECT_EQ(all.count, 20000u);
  base::array_release(&all);
  EXPECT_EQ(read_file(s.dest + "/f099/m19999.txt"), Bytes({'m', 'e', 'm', 'b', 'e', 'r', ' ', '1', '9', '9', '9', '9'}));
}

// Central directory records of a zip: offsets of each "PK\1\2".
std::vector<size_t> central_records(const Bytes& zip) {
  size_t end = zip.size() - 22;
  while (end > 0 && base::load_u32le(zip.data() + end) != 0x06054B50) --end;
  std::vector<size_t> out;
  size_t at = base::load_u32le(zip.data() + end + 16);
  for (uint16_t i = 0; i < base::load_u16le(zip.data() + end + 10); ++i) {
    out.push_back(at);
    at += 46 + base::load_u16le(zip.data() + at + 28) + base::load_u16le(zip.data() + at + 30) +
          base::load_u16le(zip.data() + at + 32);
  }
  return out;
}

struct Patched {
  const char* name;
  void (*patch)(Bytes&);
};

TEST(Hostile, TruncatedAndLyingZipDirectories) {
  Sandbox s;
  make_dirs(s.dir / "src");
  make_source_tree(s.dir / "src");
  ASSERT_EQ(arc(kActionAddTree, s.dir / "good.zip", {all_under(s.dir / "src")}), 1);
  const Bytes good = read_file(s.dir / "good.zip");
  const Patched patches[] = {
      {"cut in the end record", [](Bytes& z) { z.erase(z.end() - 10, z.end()); }},
      {"cut in the directory", [](Bytes& z) { z.erase(z.begin() + static_cast<long>(central_records(z)[4]) + 20, z.end()); }},
      {"cut in the data", [](Bytes& z) { z.erase(z.begin() + static_cast<long>(z.size() / 2), z.end()); }},
      {"count larger than the directory",
       [](Bytes& z) {
         z[z.size() - 22 + 8] += 5;
         z[z.size() - 22 + 10] += 5;
       }},
      {"local header offset into data",
       [](Bytes& z) { base::store_u32le(z.data() + central_records(z)[3] + 42, 7); }},
      {"member claims gigabytes",
       [](Bytes& z) {
         for (size_t c : central_records(z)) {
           const size_t local = base::load_u32le(z.data() + c + 42);
           base::store_u32le(z.data() + c + 24, 0xF0000000u);
           base::store_u32le(z.data() + local + 22, 0xF0000000u);
         }
       }},
      {"member claims less than it holds",
       [](Bytes& z) {
         for (size_t c : central_records(z)) {
           const size_t local = base::load_u32le(z.data() + c + 42);
           const uint32_t real = base::load_u32le(z.data() + c + 24);
           if (real < 2) continue;
           base::store_u32le(z.data() + c + 24, real / 2);
           base::store_u32le(z.data() + local + 22, real / 2);
         }
       }},
      {"CRC that does not match",
       [](Bytes& z) {
         const size_t c = central_records(z)[2];
         const size_t local = base::load_u32le(z.data() + c + 42);
         z[c + 16] ^= 1;
         z[local + 14] ^= 1;
       }},
  };
  for (const Patched& p : patches) {
    SCOPED_TRACE(p.name);
    Bytes z = good;
    p.patch(z);
    write_file(s.dir / "bad.zip", z);
    delete_tree(s.dest.c_str());
    EXPECT_EQ(s.extract(s.dir / "bad.zip"), 0);
    EXPECT_NE(std::string(base::last_error()), "");
    // Whatever was written before the failure is whole: no member is cut short.
    for (const auto& [name, bytes] : tree(s.dest)) {
      EXPECT_TRUE(bytes == read_file(s.dir / "src/" + name)) << name;
    }
  }
  s.expect_nothing_outside({"bad.zip", "good.zip", "src"});
}

// A native record by hand: name, then blocks (method, unpacked, stored, data).
Bytes native_record(const std::string& name, uint32_t unpacked, const Bytes& blocks, int64_t record_length = -1) {
  MemberHeader h{};
  header_set_name(&h, name);
  h.unpacked_size = unpacked;
  h.record_length = record_length >= 0 ? static_cast<uint32_t>(record_length) : static_cast<uint32_t>(110 + blocks.size());
  Bytes out(kHeaderSize);
  header_store(h, out.data());
  out.insert(out.end(), blocks.begin(), blocks.end());
  return out;
}

Bytes stored_block(const std::string& data) {
  const auto n = static_cast<uint8_t>(data.size());
  Bytes b = {0, 0, n, 0, n, 0};  // method 0, unpacked and stored length
  for (const char c : data) b.push_back(static_cast<uint8_t>(c));
  return b;
}

TEST(Hostile, LyingNativeRecords) {
  Sandbox s;
  const Bytes good = native_record("good.txt", 4, stored_block("good"));
  struct Case {
    const char* name;
    Bytes second;
    bool seen_first;  // found by the look at the headers before anything is written
  };
  const Case cases[] = {
      {"climbing name", native_record("..\\evil.txt", 4, stored_block("evil")), false},
      {"absolute name", native_record("\\evil.txt", 4, stored_block("evil")), false},
      {"drive name", native_record("C:evil.txt", 4, stored_block("evil")), false},
      {"record past the end", native_record("big.txt", 4, stored_block("evil"), 5000), true},
      {"claims more than its blocks", native_record("short.txt", 100000, stored_block("evil")), false},
      {"claims gigabytes", native_record("huge.txt", 0xFFFFFFF0u, stored_block("evil")), false},
      {"block larger than the member", native_record("over.txt", 2, stored_block("evil")), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = good;
    file.insert(file.end(), c.second.begin(), c.second.end());
    write_file(s.dir / "bad.kx", file);
    delete_tree(s.dest.c_str());
    EXPECT_EQ(s.extract(s.dir / "bad.kx"), 0);
    // No partial second member; the first is whole, or not written at all when the archive was
    // refused before writing (4 GiB claimed may also be more than the disk has free).
    const auto got = entries_of(s.dest);
    if (c.seen_first) {
      EXPECT_TRUE(got.empty());
    } else if (!got.empty()) {
      EXPECT_EQ(got, std::vector<std::string>{"good.txt"});
      EXPECT_EQ(read_file(s.dest + "/good.txt"), Bytes({'g', 'o', 'o', 'd'}));
    }
    s.expect_nothing_outside({"bad.kx"});
  }
}

// Free bytes on the file system of `path`.
uint64_t free_bytes(const std::string& path) {
  struct statvfs st {};
  return statvfs(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.f_bavail) * st.f_frsize : 0;
}

TEST(Hostile, OverlappingMembersAreRefusedBeforeAnythingIsWritten) {
  Sandbox s;
  // 40 central-directory entries, each naming the one stored stream of 1 MiB of zeros.
  const RunResult r = python(
      "import zipfile, struct, io\n"
      "b = io.BytesIO()\n"
      "with zipfile.ZipFile(b, 'w', zipfile.ZIP_DEFLATED) as z: z.writestr('z00.bin', bytes(1 << 20))\n"
      "d = b.getvalue()\n"
      "e = d.rfind(b'PK\\x05\\x06')\n"
      "size, off = struct.unpack('<II', d[e + 12:e + 20])\n"
      "rec = d[off:off + size]\n"
      "cd = b''.join(rec.replace(b'z00.bin', b'z%02d.bin' % i) for i in range(40))\n"
      "open('bomb.zip', 'wb').write(d[:off] + cd + struct.pack('<4sHHHHIIH', b'PK\\x05\\x06', 0, 0, 40, 40, "
      "len(cd), off, 0))\n",
      s.dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(s.extract(s.dir / "bomb.zip"), 0);
  EXPECT_NE(std::string(base::last_error()).find("overlapping"), std::string::npos) << base::last_error();
  EXPECT_TRUE(entries_of(s.dest).empty());
  MemberHeader h{};
  uint8_t* data = nullptr;
  const std::vector<char> list = selection({"z07.bin"});
  EXPECT_EQ(archive_command_internal(kActionToMemory, (s.dir / "bomb.zip").c_str(), 1, list.data(), 0, nullptr, nullptr,
                                     32, 0, kFormatDetect, &h, &data),
            0);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(arc(kActionMerge, s.dir / "m.kx", {s.dir / "bomb.zip"}), 0);
  EXPECT_FALSE(exists(s.dir / "m.kx"));
}

TEST(Hostile, MembersClaimingMoreThanTheDiskHoldsAreRefusedBeforeAnythingIsWritten) {
  Sandbox s;
  // An honest first member, then 200 members whose headers claim 4,026,531,840 bytes each.
  const RunResult r = python(
      "import zipfile, struct\n"
      "with zipfile.ZipFile('huge.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "  z.writestr('first.txt', 'honest')\n"
      "  for i in range(200): z.writestr('big%03d.bin' % i, bytes(1000))\n"
      "d = bytearray(open('huge.zip', 'rb').read())\n"
      "e = d.rfind(b'PK\\x05\\x06')\n"
      "n, size, at = struct.unpack('<HII', d[e + 10:e + 20])\n"
      "for i in range(n):\n"
      "  name_len, extra_len, comment_len = struct.unpack('<HHH', d[at + 28:at + 34])\n"
      "  local = struct.unpack('<I', d[at + 42:at + 46])[0]\n"
      "  if i > 0:\n"
      "    d[at + 24:at + 28] = struct.pack('<I', 0xF0000000)\n"
      "    d[local + 22:local + 26] = struct.pack('<I', 0xF0000000)\n"
      "  at += 46 + name_len + extra_len + comment_len\n"
      "open('huge.zip', 'wb').write(d)\n",
      s.dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  if (free_bytes(s.dest) > 200ull * 0xF0000000u) GTEST_SKIP() << "more than 800 GB free: nothing to refuse";
  EXPECT_EQ(s.extract(s.dir / "huge.zip"), 0);
  EXPECT_NE(std::string(base::last_error()).find("free on the file system"), std::string::npos) << base::last_error();
  EXPECT_TRUE(entries_of(s.dest).empty());  // not even the honest member
}

TEST(Hostile, ReadingIntoMemoryIsCappedBeforeAllocating) {
  Sandbox s;
  const RunResult r = python(
      "import zipfile\n"
      "with zipfile.ZipFile('zeros.zip', 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as z:\n"
      "  with z.open('zeros.bin', 'w') as f:\n"
      "    for i in range(300): f.write(bytes(1 << 20))\n"
      "  z.writestr('small.bin', bytes(200000))\n",
      s.dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  const size_t before = base::heap_stats(base::heap_current()).bytes_in_use;
  auto to_memory = [&](const char* pattern, uint8_t** data) {
    MemberHeader h{};
    const std::vector<char> list = selection({pattern});
    return archive_command_internal(kActionToMemory, (s.dir / "zeros.zip").c_str(), 1, list.data(), 0, nullptr, nullptr,
                                    32, 0, kFormatDetect, &h, data);
  };
  uint8_t* data = nullptr;
  EXPECT_EQ(archive_memory_limit(), kDefaultMemoryLimit);
  EXPECT_EQ(to_memory("zeros.bin", &data), 0);  // 300 MiB claimed, 256 MiB allowed
  EXPECT_NE(std::string(base::last_error()).find("allowed for reading into memory"), std::string::npos)
      << base::last_error();
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(base::heap_stats(base::heap_current()).bytes_in_use, before);
  set_archive_memory_limit(100000);
  EXPECT_EQ(to_memory("small.bin", &data), 0);
  set_archive_memory_limit(kDefaultMemoryLimit);
  ASSERT_EQ(to_memory("small.bin", &data), 1) << base::last_error();
  base::heap_free(data);
}

TEST(Hostile, NamesThatNormaliseToOneAreRefusedAndCaseStaysApart) {
  Sandbox s;
  const std::pair<std::string, std::string> same[] = {
      {"x", "./x"}, {"x", "x/."}, {"a/x", "a\\x"}, {"a/x", "a//x"}, {"x", "x"}, {"x", "x/"}, {"d/x", "./d/./x"},
  };
  for (const auto& [first, second] : same) {
    SCOPED_TRACE(first + " and " + second);
    python_zip(s.dir / "dup.zip", {{first, "first"}, {second, "second"}});
    delete_tree(s.dest.c_str());
    EXPECT_EQ(s.extract(s.dir / "dup.zip"), 0);
    EXPECT_NE(std::string(base::last_error()).find("two members share one name"), std::string::npos) << base::last_error();
    EXPECT_TRUE(tree(s.dest).empty());
    MemberHeader h{};
    uint8_t* data = nullptr;
    const std::vector<char> list = selection({"*.*"});
    EXPECT_EQ(archive_command_internal(kActionToMemory, (s.dir / "dup.zip").c_str(), 1, list.data(), 0, nullptr,
                                       nullptr, 32, 0, kFormatDetect, &h, &data),
              0);
    EXPECT_EQ(listed_names(s.dir / "dup.zip").size(), 2u);  // listing shows what is there
  }
  // Folder members may repeat: they make one folder and write nothing.
  python_zip(s.dir / "folders.zip", {{"d/", ""}, {"d/", ""}, {"./d/", ""}, {"d/f", "f"}});
  delete_tree(s.dest.c_str());
  EXPECT_EQ(s.extract(s.dir / "folders.zip"), 1) << base::last_error();
  // Case tells names apart on this system: both files are written, each with its own bytes.
  python_zip(s.dir / "case.zip", {{"Makefile", "upper"}, {"makefile", "lower"}});
  delete_tree(s.dest.c_str());
  ASSERT_EQ(s.extract(s.dir / "case.zip"), 1) << base::last_error();
  EXPECT_EQ(read_file(s.dest + "/Makefile"), Bytes({'u', 'p', 'p', 'e', 'r'}));
  EXPECT_EQ(read_file(s.dest + "/makefile"), Bytes({'l', 'o', 'w', 'e', 'r'}));
}

TEST(Hostile, NamesInReasonsNeverCarryTerminalControls) {
  Sandbox s;
  const std::string names[] = {"/\x1b]2;pwned\x07", "..\\\x1b[2J", "C:\x9b" "31m"};
  for (const std::string& name : names) {
    SCOPED_TRACE(hex(name));
    python_zip(s.dir / "esc.zip", {{name, "x"}});
    EXPECT_EQ(s.extract(s.dir / "esc.zip"), 0);
    const std::string reason = base::last_error();
    EXPECT_NE(reason.find("refused"), std::string::npos) << reason;
    for (const char c : reason) EXPECT_GE(static_cast<unsigned char>(c), 32) << hex(reason);
    EXPECT_EQ(reason.find("\xc2\x9b"), std::string::npos) << hex(reason);
    EXPECT_TRUE(reason.find("\\x1B") != std::string::npos || reason.find("\\u009B") != std::string::npos) << reason;
  }
}

TEST(Hostile, EveryMalformedFileFailsCleanly) {
  const std::string folder = std::string(LUMRA_TEST_DATA) + "/malformed";
  const auto files = entries_of(folder);
  ASSERT_FALSE(files.empty());
  for (const std::string& name : files) {
    for (int format : {kFormatNative, kFormatZip}) {
      SCOPED_TRACE(name + (format == kFormatZip ? " as zip" : " as native"));
      Sandbox s;
      const std::string copy = s.dir / "m.bin";
      write_file(copy, read_file(folder + "/" + name));
      s.extract(copy, format);  // success or failure, but no crash
      arc(kActionList, copy, {}, 0, nullptr, nullptr, 32, 0, format);
      s.expect_nothing_outside({"m.bin"});
    }
  }
}

}  // namespace
}  // namespace lumra::files
