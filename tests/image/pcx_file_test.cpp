// PCX: run-length decoding and coding on exact bytes, the 16-colour plane layout, lines whose runs
// cross their ends or that are longer than the image row, and the header written byte for byte.
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/image/pcx_file.h"
#include "tests/image/picture_test_support.h"

namespace lumra::image {
namespace {

using namespace test_support;

// A 128-byte header for width x height, `planes` planes of `bytes_per_line`, then `data`.
Bytes pcx(uint16_t width, uint16_t height, uint8_t planes, uint16_t bytes_per_line, const Bytes& data) {
  Bytes f(128, 0);
  f[0] = 10;                                               // manufacturer
  f[2] = 1;                                                // run-length
  f[3] = 1;                                                // bits per pixel per plane
  base::store_u16le(f.data() + 8, width - 1);              // x max (x min 0)
  base::store_u16le(f.data() + 10, height - 1);            // y max
  f[16 + 3] = 0x11;                                        // palette entry 1: red 0x11
  f[16 + 4] = 0x22;
  f[16 + 5] = 0x33;
  f[65] = planes;
  base::store_u16le(f.data() + 66, bytes_per_line);
  for (const uint8_t b : data) f.push_back(b);  // not insert(): GCC 12 warns falsely inside it
  return f;
}

struct DecodeCase {
  const char* name;
  Bytes file;
  int32_t format;
  Bytes pixels;  // all rows
};

TEST(ReadPcx, DecodesExactBytes) {
  const DecodeCase cases[] = {
      {"run 0xC5 0x00 gives five zeros", pcx(40, 2, 1, 5, {0xC5, 0x00, 0xC5, 0xFF}), Mono1, {0, 0, 0, 0, 0, 255, 255, 255, 255, 255}},
      {"literal bytes", pcx(16, 1, 1, 2, {0x12, 0x34}), Mono1, {0x12, 0x34}},
      {"0xC1 escapes a high literal", pcx(16, 1, 1, 2, {0xC1, 0xC7, 0x01}), Mono1, {0xC7, 0x01}},
      {"a run crossing the line end goes on", pcx(16, 2, 1, 2, {0xC4, 0xAB}), Mono1, {0xAB, 0xAB, 0xAB, 0xAB}},
      {"line longer than the row: surplus dropped", pcx(8, 2, 1, 3, {0x01, 0x02, 0x03, 0xC3, 0x04}), Mono1, {0x01, 0x04}},
      {"16 colours: plane 0 bit gives index 1", pcx(8, 1, 4, 1, {0x80, 0x00, 0x00, 0x00}), Indexed4, {0x10, 0, 0, 0}},
      {"16 colours: each plane one bit", pcx(4, 1, 4, 1, {0x80, 0x40, 0x20, 0x10}), Indexed4, {0x12, 0x48}},
      {"run count 0 gives nothing", pcx(8, 1, 1, 1, {0xC0, 0x55, 0x66}), Mono1, {0x66}},
      {"line shorter than the row: the rest 0", pcx(17, 2, 1, 2, {0x12, 0x34, 0xC2, 0x56}), Mono1,
       {0x12, 0x34, 0, 0x56, 0x56, 0}},
      {"16 colours, short plane lines", pcx(12, 1, 4, 1, {0xAA, 0x00, 0xAA, 0x00}), Indexed4, {0x50, 0x50, 0x50, 0x50, 0, 0}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    uint8_t header[kPcxHeaderSize];
    ASSERT_EQ(read_pcx_memory(header, &img, c.file.data(), c.file.size()), 1) << base::last_error();
    EXPECT_EQ(img.format, c.format);
    EXPECT_EQ(Bytes(img.pixels, img.pixels + static_cast<size_t>(img.stride) * img.height), c.pixels);
    EXPECT_EQ(Bytes(header, header + kPcxHeaderSize), Bytes(c.file.begin(), c.file.begin() + 128));
    if (c.format == Indexed4) {
      EXPECT_EQ(img.palette[1], colour_value(0x11, 0x22, 0x33));
    }
    image_free(&img);
  }
}

TEST(ReadPcx, RefusesAndReleases) {
  struct Case {
    const char* name;
    Bytes file;
    bool allocated_first;  // the failure comes after the image was allocated
  } const cases[] = {
      {"manufacturer", [] { Bytes f = pcx(8, 1, 1, 1, {0}); f[0] = 5; return f; }(), false},
      {"3 planes", pcx(8, 1, 3, 1, {0, 0, 0}), false},
      {"8 bits per pixel", [] { Bytes f = pcx(8, 1, 1, 8, Bytes(8, 0)); f[3] = 8; return f; }(), false},
      {"0 bytes per line", pcx(17, 1, 1, 0, {0, 0}), false},
      {"data far too short for the rows", pcx(8, 60000, 1, 1, {0xFF, 0x00}), false},
      {"x max below x min", [] { Bytes f = pcx(8, 1, 1, 1, {0}); base::store_u16le(f.data() + 4, 100); return f; }(), false},
      {"header cut", [] { Bytes f = pcx(8, 1, 1, 1, {0}); f.resize(100); return f; }(), false},
      {"data ends before the last row", pcx(8, 40, 1, 1, {0xC5, 0x00, 0x01}), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    uint8_t header[kPcxHeaderSize];
    EXPECT_EQ(read_pcx_memory(header, &img, c.file.data(), c.file.size()), 0);
    EXPECT_EQ(img.pixels, nullptr);
  }
}

TEST(PcxRuns, CodedLikeTheFormatSays) {
  const struct {
    const char* name;
    Bytes row;
    Bytes coded;
  } cases[] = {
      {"literal 0xC7", {0xC7}, {0xC1, 0xC7}},
      {"five zeros", {0, 0, 0, 0, 0}, {0xC5, 0x00}},
      {"low literals", {0x12, 0x34, 0xBF}, {0x12, 0x34, 0xBF}},
      {"pair of high bytes", {0xC0, 0xC0}, {0xC2, 0xC0}},
      {"run of 70", Bytes(70, 0xAA), {0xFF, 0xAA, 0xC7, 0xAA}},
      {"run of 64 leaves one", Bytes(64, 0x01), {0xFF, 0x01, 0x01}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(c.row.size() * 2);
    out.resize(pcx_encode_row(c.row.data(), c.row.size(), out.data()));
    EXPECT_EQ(out, c.coded);
  }
}

TEST(SavePcx, HeaderByteForByteAndPaddingThatExtendsARun) {
  TempDir dir;
  Image img{};
  ASSERT_EQ(image_allocate(&img, Mono1, 12, 2, 0, nullptr, 0, 0), 1);
  const uint8_t rows[] = {0xFF, 0xF3, 0xC7, 0x05};  // row 0: padding bits differ, pixels agree
  std::copy(rows, rows + 4, img.pixels);
  ASSERT_EQ(save_pcx(&img, (dir / "m.pcx").c_str(), 300, 200), 1) << base::last_error();
  const Bytes f = read_bytes(dir / "m.pcx");
  Bytes header(128, 0);
  header[0] = 10;
  header[1] = 0;
  header[2] = 1;
  header[3] = 1;
  base::store_u16le(header.data() + 8, 11);
  base::store_u16le(header.data() + 10, 1);
  base::store_u16le(header.data() + 12, 300);
  base::store_u16le(header.data() + 14, 200);
  header[65] = 1;
  base::store_u16le(header.data() + 66, 2);
  ASSERT_GE(f.size(), 128u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 128), header);
  // Row 0: 0xF3 became 0xFF, one run; row 1: 0xC7 escaped, 0x05 literal.
  EXPECT_EQ(Bytes(f.begin() + 128, f.end()), (Bytes{0xC2, 0xFF, 0xC1, 0xC7, 0x05}));
  image_free(&img);
}

TEST(SavePcx, RoundTripAndPillowAgree) {
  TempDir dir;
  Image img{};
  ASSERT_EQ(image_allocate(&img, Mono1, 133, 21, 0, nullptr, 0, 0), 1);
  for (int32_t y = 0; y < 21; ++y) {
    for (int32_t x = 0; x < 133; ++x) image_set_pixel(&img, x, y, (x / 9 + y / 4) % 2 || x % 17 == 0);
  }
  ASSERT_EQ(save_pcx(&img, (dir / "r.pcx").c_str(), 75, 75), 1);
  Image back{};
  uint8_t header[kPcxHeaderSize];
  ASSERT_EQ(read_pcx(header, &back, (dir / "r.pcx").c_str()), 1) << base::last_error();
  EXPECT_EQ(back.format, Mono1);
  EXPECT_EQ(rgb_of(back), rgb_of(img));
  ASSERT_EQ(shell(kPython + " " + quote(std::string(LUMRA_SOURCE_DIR) + "/tests/image/picture_fixtures.py") + " --decode " +
                  quote(dir / "r.pcx")), 0);
  EXPECT_EQ(read_bytes(dir / "r.pcx.rgb"), rgb_of(img));
  image_free(&back);
  image_free(&img);
}

TEST(SavePcx, OnlyMono1AndNoFileOtherwise) {
  TempDir dir;
  for (int32_t format : {Gray4, Gray8, Indexed4, Indexed8, Rgb32}) {
    Image img{};
    ASSERT_EQ(image_allocate(&img, format, 4, 4, 0, nullptr, 0, 0), 1);
    EXPECT_EQ(save_pcx(&img, (dir / "x.pcx").c_str(), 75, 75), 0);
    EXPECT_FALSE(exists(dir / "x.pcx"));
    image_free(&img);
  }
}

}  // namespace
}  // namespace lumra::image
