// zip64 archives as today's tools write them: a member over 4 GiB (of zeros, so that the archive
// stays small and the output can be sparse) and more than 65,535 members list and extract with
// their true sizes, and a member over 4 GiB that the command adds passes unzip -t. The members
// over 4 GiB take some seconds of inflating: those tests run in the normal build only (the
// sanitizer build would repeat the same library work several times slower), and they are skipped,
// saying why, when the disk lacks the room.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "tests/files/archive_test_support.h"

namespace lumra::files {
namespace {

using namespace test_support;

constexpr uint64_t kBig = (uint64_t{4} << 30) + (1 << 20) + 7;  // past every 32-bit size field

uint64_t free_bytes(const std::string& path) {
  struct statvfs st {};
  return statvfs(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.f_bavail) * st.f_frsize : 0;
}

#if defined(__SANITIZE_ADDRESS__)
#define SKIP_IN_SANITIZER_BUILD() GTEST_SKIP() << "runs in the normal build only: several seconds of zlib work"
#else
#define SKIP_IN_SANITIZER_BUILD()
#endif

TEST(Zip64, SeventyThousandMembersListAndExtract) {
  TempDir dir;
  const RunResult r = python(
      "import zipfile\n"
      "with zipfile.ZipFile('many.zip', 'w', zipfile.ZIP_STORED) as z:\n"
      "  for i in range(70000): z.writestr('d%02d/m%05d' % (i % 50, i), b'%d' % i)\n",
      dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  Recorder listing;
  ASSERT_EQ(arc(kActionList, dir / "many.zip", {}, 0, record_progress, &listing), 1) << base::last_error();
  EXPECT_EQ(listing.count, 70000u);
  EXPECT_EQ(last_command_notes().unread_entries, 0u);
  ASSERT_EQ(arc(kActionExtract, dir / "many.zip", {"+*.*/+" + bs(dir / "out")}), 1) << base::last_error();
  base::DynArray all{};
  ASSERT_EQ(list_files(&all, (dir / "out/*.*").c_str(), 1, kListFiles), 1);
  EXPECT_EQ(all.count, 70000u);
  base::array_release(&all);
  EXPECT_EQ(read_file(dir / "out/d49/m69999"), Bytes({'6', '9', '9', '9', '9'}));
  EXPECT_EQ(read_file(dir / "out/d00/m65550"), Bytes({'6', '5', '5', '5', '0'}));
}

TEST(Zip64, AMemberOverFourGiBListsAndExtractsWithItsTrueSize) {
  SKIP_IN_SANITIZER_BUILD();
  TempDir dir;
  if (free_bytes(dir.path()) < kBig + (1u << 30)) {
    GTEST_SKIP() << "needs about 5.3 GB free where the output is written (it is sparse only where the file system "
                    "allows), " << free_bytes(dir.path()) << " bytes free";
  }
  const RunResult r = python(
      "import zipfile\n"
      "with zipfile.ZipFile('big.zip', 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as z:\n"
      "  z.writestr('before.txt', 'before')\n"
      "  with z.open('zero.bin', 'w', force_zip64=True) as f:\n"
      "    block = bytes(1 << 24)\n"
      "    left = " + std::to_string(kBig) + "\n"
      "    while left > 0:\n"
      "      f.write(block[:min(left, len(block))])\n"
      "      left -= min(left, len(block))\n"
      "  z.writestr('after.txt', 'after')\n",
      dir.path());
  ASSERT_EQ(r.status, 0) << r.out;
  Recorder listing;
  ASSERT_EQ(arc(kActionList, dir / "big.zip", {}, 0, record_progress, &listing), 1) << base::last_error();
  EXPECT_EQ(listing.total_unpacked, kBig + 6 + 5);
  ASSERT_EQ(listing.events.size(), 4u);
  EXPECT_EQ(listing.events[1].unpacked, 0xFFFFFFFFu);  // the header's 32-bit field
  ASSERT_EQ(arc(kActionExtract, dir / "big.zip", {"+*.*/+" + bs(dir / "out")}), 1) << base::last_error();
  struct stat st {};
  ASSERT_EQ(stat((dir / "out/zero.bin").c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), kBig);
  EXPECT_EQ(read_file(dir / "out/after.txt"), Bytes({'a', 'f', 't', 'e', 'r'}));
  const RunResult cmp = run({"cmp", "-n", std::to_string(kBig), dir / "out/zero.bin", "/dev/zero"});
  EXPECT_EQ(cmp.status, 0) << cmp.out;
}

TEST(Zip64, AMemberOverFourGiBAddedToAZipPassesUnzipTest) {
  SKIP_IN_SANITIZER_BUILD();
  TempDir dir;
  if (free_bytes(dir.path()) < (64u << 20)) GTEST_SKIP() << "needs 64 MB free for the archive";
  // A sparse source: the file system keeps no blocks for it.
  const std::string source = dir / "zero.bin";
  ASSERT_TRUE(write_file(source, std::string()));
  ASSERT_EQ(truncate(source.c_str(), static_cast<off_t>(kBig)), 0);
  write_file(dir / "small.txt", std::string("small"));
  const std::string archive = dir / "added.zip";
  ASSERT_EQ(arc(kActionAdd, archive, {"+" + bs(source) + "/", "+" + bs(dir / "small.txt") + "/"}, 0, nullptr,
                nullptr, 1),
            1)
      << base::last_error();
  const RunResult t = run({"unzip", "-t", archive});
  EXPECT_EQ(t.status, 0) << t.out;
  EXPECT_NE(t.out.find("No errors detected"), std::string::npos) << t.out;
  Recorder listing;
  ASSERT_EQ(arc(kActionList, archive, {}, 0, record_progress, &listing), 1) << base::last_error();
  EXPECT_EQ(listing.total_unpacked, kBig + 5);
  // Deleting the small member copies the big one raw, zip64 fields and all.
  ASSERT_EQ(arc(kActionDelete, archive, {"small.txt"}), 1) << base::last_error();
  const RunResult again = run({"unzip", "-t", archive});
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(listed_names(archive), std::vector<std::string>{"zero.bin"});
}

}  // namespace
}  // namespace lumra::files
