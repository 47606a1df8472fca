// mkpack as the build runs it: help, usage errors (exit 2), pictures it refuses (exit 1), and a
// pack read back from the generated source: records in ascending identifier order, lengths with
// their headers, the closing zero, payloads that load as the pictures given.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/base/bytes.h"
#include "framework/base/memstream.h"
#include "framework/image/image.h"
#include "framework/image/image_stream.h"
#include "tests/files/files_test_support.h"

namespace lumra::image {
namespace {

using files::test_support::Bytes;
using files::test_support::RunResult;
using files::test_support::TempDir;

RunResult mkpack(std::vector<std::string> args) {
  args.insert(args.begin(), LUMRA_MKPACK);
  return files::test_support::run(args);
}

// A serialised w x 2 Gray8 picture in the given storage mode.
Bytes picture(int32_t w, int32_t storage) {
  Image img{};
  EXPECT_TRUE(image_allocate(&img, Gray8, w, 2, 0, nullptr, 3, 0));
  for (int32_t i = 0; i < w * 2; ++i) img.pixels[i] = static_cast<uint8_t>(i * 5);
  base::MemStream s{};
  EXPECT_TRUE(image_save_stream(&img, &s, storage));
  Bytes out(s.data, s.data + s.size);
  base::stream_release(&s);
  image_free(&img);
  return out;
}

// The bytes of the array in a generated source file.
Bytes array_bytes(const std::string& source) {
  Bytes out;
  for (size_t at = source.find("= {"); (at = source.find("0x", at)) != std::string::npos; at += 2) {
    out.push_back(static_cast<uint8_t>(std::stoul(source.substr(at + 2, 2), nullptr, 16)));
  }
  return out;
}

TEST(Mkpack, Help) {
  const RunResult r = mkpack({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("usage: mkpack"), 0u) << r.out;
}

TEST(Mkpack, UsageErrorsExitWithTwo) {
  TempDir dir;
  const std::string out = dir / "p.cpp", h = dir / "p.h";
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--output", out, "--header", h, "1=a.lri"},
      {"--output", out, "--header", h, "--symbol", "kPack"},
      {"--output", out, "--header", h, "--symbol", "kPack", "0=a.lri"},
      {"--output", out, "--header", h, "--symbol", "kPack", "x=a.lri"},
      {"--output", out, "--header", h, "--symbol", "kPack", "1="},
      {"--output", out, "--header", h, "--symbol", "kPack", "2=a.lri", "2=b.lri"},
      {"--output", out, "--header", h, "--symbol", "1pack", "1=a.lri"},
      {"--output", out, "--header", h, "--symbol", "kPack", "--namespace", "a:::b", "1=a.lri"},
      {"--output", out, "--header", h, "--symbol", "kPack", "--namespace"},
  };
  for (const auto& c : cases) {
    const RunResult r = mkpack(c);
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("usage: mkpack"), std::string::npos);
  }
}

TEST(Mkpack, RefusedPicturesExitWithOne) {
  TempDir dir;
  Bytes trailing = picture(4, kStorageRaw);
  trailing.push_back(0);
  Bytes short_one = picture(4, kStorageRaw);
  short_one.pop_back();
  files::test_support::write_file(dir / "trailing.lri", trailing);
  files::test_support::write_file(dir / "short.lri", short_one);
  files::test_support::write_file(dir / "text.lri", std::string("not a picture at all"));
  for (const char* name : {"missing.lri", "trailing.lri", "short.lri", "text.lri"}) {
    const RunResult r = mkpack({"--output", dir / "p.cpp", "--header", dir / "p.h", "--symbol", "kPack",
                                "1=" + (dir / name)});
    EXPECT_EQ(r.status, 1) << name << ": " << r.out;
    EXPECT_EQ(r.out.find("mkpack: "), 0u) << r.out;
    EXPECT_FALSE(files::test_support::exists(dir / "p.cpp")) << name;
  }
}

TEST(Mkpack, PackReadBackFromTheGeneratedSource) {
  TempDir dir;
  const Bytes raw = picture(5, kStorageRaw), rows = picture(7, kStorageRowBlocks);
  files::test_support::write_file(dir / "raw.lri", raw);
  files::test_support::write_file(dir / "rows.lri", rows);
  const RunResult r = mkpack({"--output", dir / "pack.cpp", "--header", dir / "pack.h", "--symbol", "kTestPack",
                              "--namespace", "demo::packs", "9=" + (dir / "raw.lri"), "3=" + (dir / "rows.lri")});
  ASSERT_EQ(r.status, 0) << r.out;
  const Bytes header = files::test_support::read_file(dir / "pack.h");
  const std::string h(header.begin(), header.end());
  EXPECT_NE(h.find("namespace demo::packs {"), std::string::npos) << h;
  EXPECT_NE(h.find("extern const uint8_t kTestPack[];"), std::string::npos);
  EXPECT_NE(h.find("extern const size_t kTestPack_size;"), std::string::npos);
  const Bytes source = files::test_support::read_file(dir / "pack.cpp");
  const std::string s(source.begin(), source.end());
  EXPECT_NE(s.find("#include \"pack.h\""), std::string::npos);
  const Bytes pack = array_bytes(s);
  ASSERT_EQ(pack.size(), 9 + rows.size() + 9 + raw.size() + 4);
  // Identifier 3 first: a picture stored in row blocks stays in row blocks.
  EXPECT_EQ(base::load_u32le(&pack[0]), 9 + rows.size());
  EXPECT_EQ(pack[4], 0);
  EXPECT_EQ(base::load_u32le(&pack[5]), 3u);
  EXPECT_EQ(0, std::memcmp(&pack[9], rows.data(), rows.size()));
  const size_t second = 9 + rows.size();
  EXPECT_EQ(base::load_u32le(&pack[second]), 9 + raw.size());
  EXPECT_EQ(base::load_u32le(&pack[second + 5]), 9u);
  EXPECT_EQ(0, std::memcmp(&pack[second + 9], raw.data(), raw.size()));
  EXPECT_EQ(base::load_u32le(&pack[pack.size() - 4]), 0u);
}

}  // namespace
}  // namespace lumra::image
