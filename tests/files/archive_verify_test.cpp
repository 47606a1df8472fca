// Testing archives without writing (verify_archive) and the look at a file's first bytes
// (look_at_archive): what each reports, the damage each finds, and that nothing is written.
#include "framework/files/archive_verify.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "framework/files/archive_probe.h"
#include "framework/files/member_header.h"
#include "framework/files/native_archive.h"
#include "tests/files/archive_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

int verify(const std::string& archive, const std::vector<std::string>& entries, int key = 0,
           Recorder* recorder = nullptr, int format = kFormatDetect) {
  const std::vector<char> list = selection(entries);
  return verify_archive(archive.c_str(), static_cast<int>(entries.size()), list.empty() ? nullptr : list.data(), key,
                        recorder ? record_progress : nullptr, recorder, format);
}

// Every report as (name, value, position), for the order of pieces within a member.
struct Piece {
  std::string name;
  int64_t value;
  int64_t position;
  bool operator==(const Piece&) const = default;
};
int record_pieces(int code, void* data, const ProgressInfo& info) {
  EXPECT_EQ(code, kProgressMember);
  EXPECT_EQ(info.action, kActionVerify);
  static_cast<std::vector<Piece>*>(data)->push_back({info.name, info.value, info.position});
  return 1;
}

void store_u32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<std::string> verified_names(const Recorder& r) {
  std::vector<std::string> out;
  for (const Event& e : r.events) {
    EXPECT_EQ(e.action, kActionVerify);
    if (e.value == 1) out.push_back(e.name);
  }
  return out;
}

// A native record header in plain bytes, the rest of the 110 bytes zero.
Bytes native_header(const char* name, uint32_t record_length, uint32_t unpacked) {
  MemberHeader h{};
  std::strncpy(h.name, name, sizeof h.name - 1);
  h.record_length = record_length;
  h.unpacked_size = unpacked;
  Bytes out(kHeaderSize);
  header_store(h, out.data());
  return out;
}

TEST(VerifyArchive, ReadsEverySelectedMemberOfBothFormatsAndWritesNothing) {
  ArchiveFixture fx;
  ASSERT_EQ(arc(kActionAddTree, fx.dir / "p.zip", {all_under(fx.src)}), 1) << base::last_error();
  ASSERT_EQ(arc(kActionAddTree, fx.dir / "p.kx", {all_under(fx.src)}, 9), 1) << base::last_error();
  for (const auto& [archive, key] : std::vector<std::pair<std::string, int>>{{fx.dir / "p.zip", 0}, {fx.dir / "p.kx", 9}}) {
    SCOPED_TRACE(archive);
    const auto before = tree(fx.dir.path());
    Recorder all;
    ASSERT_EQ(verify(archive, {}, key, &all), 1) << base::last_error();
    EXPECT_EQ(verified_names(all).size(), 9u);
    // The 100,000-byte member: native blocks of 16,384 bytes each reported with the bytes before
    // them, then the member's end; zip data arrives in larger pieces.
    std::vector<Piece> pieces;
    const std::vector<char> one = selection({"a\\objects_data.js"});
    ASSERT_EQ(verify_archive(archive.c_str(), 1, one.data(), key, record_pieces, &pieces, kFormatDetect), 1);
    ASSERT_FALSE(pieces.empty());
    EXPECT_EQ(pieces.back(), (Piece{"a\\objects_data.js", 1, 0}));
    if (key) {
      ASSERT_EQ(pieces.size(), 8u);
      for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i], (Piece{"a\\objects_data.js", 0, static_cast<int64_t>(i * 16384)}));
      }
    }
    Recorder some;
    ASSERT_EQ(verify(archive, {"a\\b\\*.*", "*.txt"}, key, &some), 1) << base::last_error();
    // "*.txt" takes any folder, and any case.
    EXPECT_EQ(verified_names(some),
              (std::vector<std::string>{"a\\b\\c.txt", "a\\b\\d.bin", "docs\\Notes.TXT", "empty.txt"}));
    Recorder stop;
    stop.abort_after = 0;
    EXPECT_EQ(verify(archive, {}, key, &stop), 0);
    EXPECT_STREQ(base::last_error(), "aborted by the progress callback");
    EXPECT_EQ(tree(fx.dir.path()), before);
  }
}

TEST(VerifyArchive, FindsDamageAndWalksThatEndEarly) {
  TempDir dir;
  write_file(dir / "a.txt", sample(20000, 0));
  write_file(dir / "b.txt", sample(30000, 0, 7));
  ASSERT_EQ(arc(kActionAdd, dir / "good.kx", {"+" + bs(dir / "*.txt") + "/"}), 1) << base::last_error();
  const Bytes good = read_file(dir / "good.kx");
  const uint32_t first_length = good[80] | good[81] << 8 | good[82] << 16 | static_cast<uint32_t>(good[83]) << 24;
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    const char* reason;  // a part of the reason
  };
  const Case cases[] = {
      {"zlib data", [&](Bytes& b) { b[first_length + 110 + 6 + 30] ^= 0x40; }, "member b.txt: block (method"},
      {"block size", [&](Bytes& b) { b[first_length + 110 + 2] ^= 1; }, "member b.txt: "},
      {"record longer than its blocks",
       [&](Bytes& b) {
         Bytes extra(5, 0);
         b.insert(b.begin() + first_length, extra.begin(), extra.end());
         store_u32(b, 80, first_length + 5);
       },
       "member a.txt: its record holds 5 bytes after"},
      {"bytes after the last record", [&](Bytes& b) { b.resize(b.size() + 50, 'x'); }, "the 50 bytes from offset"},
      {"a header beginning below 32",
       [&](Bytes& b) {
         const Bytes h = native_header("\x01z", 110, 0);
         b.insert(b.end(), h.begin(), h.end());
       },
       "110 bytes from offset"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes bad = good;
    c.damage(bad);
    write_file(dir / "bad.kx", bad);
    Recorder r;
    EXPECT_EQ(verify(dir / "bad.kx", {}, 0, &r), 0);
    EXPECT_NE(std::string(base::last_error()).find(c.reason), std::string::npos) << base::last_error();
  }

  // A zip whose walk stops at a name beginning below 32, as extraction's does, with one entry after it.
  const RunResult made = python(
      "import zipfile\n"
      "with zipfile.ZipFile('cut.zip', 'w') as z:\n"
      "  z.writestr('one.txt', 'one')\n"
      "  z.writestr('\\x02two.txt', 'two')\n"
      "  z.writestr('three.txt', 'three')\n",
      dir.path());
  ASSERT_EQ(made.status, 0) << made.out;
  Recorder r;
  EXPECT_EQ(verify(dir / "cut.zip", {}, 0, &r), 0);
  EXPECT_EQ(verified_names(r), std::vector<std::string>{"one.txt"});
  EXPECT_NE(std::string(base::last_error()).find("entry 2, whose name begins with a control character: it and the 1 "),
            std::string::npos)
      << base::last_error();
}

TEST(LookAtArchive, TellsEmptyArchivesFromFilesThatAreNone) {
  TempDir dir;
  make_dirs(dir / "folder");
  write_file(dir / "a.txt", std::string("a"));
  ASSERT_EQ(arc(kActionAdd, dir / "keyed.kx", {"+" + bs(dir / "a.txt") + "/"}, 7), 1) << base::last_error();
  ASSERT_EQ(arc(kActionAdd, dir / "z.zip", {"+" + bs(dir / "a.txt") + "/"}), 1) << base::last_error();
  Bytes plain_one = native_header("a.txt", 110, 0);
  write_file(dir / "one.kx", plain_one);
  write_file(dir / "empty.zip", Bytes());
  write_file(dir / "short", std::string("PK"));
  write_file(dir / "short.zip", std::string("PK"));
  write_file(dir / "text.zip", std::string(200, 't'));
  Bytes control = plain_one;
  control[0] = 7;
  write_file(dir / "control.kx", control);
  Bytes endless = plain_one;
  endless[80] = 0;
  endless[81] = 1;  // 256 bytes in a file of 110
  write_file(dir / "endless.kx", endless);
  Bytes tiny = plain_one;
  tiny[80] = 20;
  write_file(dir / "tiny.kx", tiny);
  Bytes unterminated = plain_one;
  std::memset(unterminated.data(), 'n', 80);
  write_file(dir / "unterminated.kx", unterminated);

  struct Case {
    std::string file;
    int format;
    int key;
    ArchiveLook look;
    const char* reason;  // a part of the reason for kNeither
  };
  const Case cases[] = {
      {"missing.zip", kFormatDetect, 0, ArchiveLook::kUnopened, ""},
      {"folder", kFormatDetect, 0, ArchiveLook::kUnopened, ""},
      {"empty.zip", kFormatDetect, 0, ArchiveLook::kEmpty, ""},
      {"empty.zip", kFormatNative, 0, ArchiveLook::kEmpty, ""},
      {"z.zip", kFormatDetect, 0, ArchiveLook::kZip, ""},
      {"z.zip", kFormatNative, 0, ArchiveLook::kNeither, "check bytes of its first header are not zero"},
      {"text.zip", kFormatZip, 0, ArchiveLook::kZip, ""},
      {"short.zip", kFormatDetect, 0, ArchiveLook::kZip, ""},  // the name decides; minizip refuses it
      {"short", kFormatDetect, 0, ArchiveLook::kNeither, "2 bytes long, shorter than one native member header"},
      {"text.zip", kFormatDetect, 0, ArchiveLook::kNeither, "check bytes of its first header are not zero"},
      {"text.zip", kFormatDetect, 7, ArchiveLook::kNeither, "not zero, as stored or unscrambled"},
      {"one.kx", kFormatDetect, 0, ArchiveLook::kNative, ""},
      {"one.kx", kFormatDetect, 7, ArchiveLook::kNative, ""},
      {"keyed.kx", kFormatDetect, 7, ArchiveLook::kNative, ""},
      {"keyed.kx", kFormatDetect, 0, ArchiveLook::kNeither, "check bytes"},
      {"keyed.kx", kFormatDetect, 8, ArchiveLook::kNeither, "unscrambled"},
      {"control.kx", kFormatDetect, 0, ArchiveLook::kNeither, "begins with the control byte 0x07"},
      {"endless.kx", kFormatDetect, 0, ArchiveLook::kNeither, "claims 256 bytes, more than the file's 110"},
      {"tiny.kx", kFormatDetect, 0, ArchiveLook::kNeither, "claims 20 bytes, less than its own 110-byte header"},
      {"unterminated.kx", kFormatDetect, 0, ArchiveLook::kNeither, "has no end"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " key " + std::to_string(c.key));
    base::clear_error();
    EXPECT_EQ(look_at_archive((dir / c.file).c_str(), c.format, c.key), c.look);
    if (c.look == ArchiveLook::kNeither) {
      EXPECT_NE(std::string(base::last_error()).find(c.reason), std::string::npos) << base::last_error();
    }
  }
  EXPECT_EQ(look_at_archive(nullptr, kFormatDetect, 0), ArchiveLook::kUnopened);
}

}  // namespace
}  // namespace lumra::files
