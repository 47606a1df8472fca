// PNG reading and writing through libpng: the layouts of the colour-type table on exact inline
// files, alpha with and without a background, pictures cut short, and every image format
// written, read back, checked chunk by chunk and decoded by Pillow.
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/image/png_file.h"
#include "tests/image/picture_test_support.h"

namespace lumra::image {
namespace {

using namespace test_support;

int read_memory(const Bytes& png, Image* img, const uint32_t* background = nullptr, float* res = nullptr) {
  float local[2] = {-1, -1};
  return read_png_memory(res ? res : local, img, png.data(), png.size(), background);
}

TEST(ReadPng, TwoBitGrayWidensToFourLevels) {
  Image img{};
  ASSERT_EQ(read_memory(make_png(4, 1, 2, 0, {{0x1B}}), &img), 1) << base::last_error();  // 00 01 10 11
  EXPECT_EQ(img.format, Gray8);
  EXPECT_EQ(Bytes(img.pixels, img.pixels + 4), (Bytes{0, 85, 170, 255}));
  image_free(&img);
}

TEST(ReadPng, TwoBitGrayWithTrnsKeepsOneBytePerPixel) {
  Image img{};
  ASSERT_EQ(read_memory(make_png(4, 1, 2, 0, {{0x1B}}, {{"tRNS", {0, 1}}}), &img), 1) << base::last_error();
  EXPECT_EQ(img.format, Gray8);
  EXPECT_EQ(img.stride, 4);
  EXPECT_EQ(Bytes(img.pixels, img.pixels + 4), (Bytes{0, 85, 170, 255}));
  image_free(&img);
}

TEST(ReadPng, SixteenBitRgbKeepsTheHighBytes) {
  Image img{};
  ASSERT_EQ(read_memory(make_png(1, 1, 16, 2, {{0x12, 0xFF, 0x34, 0x00, 0xAB, 0xCD}}), &img), 1);
  EXPECT_EQ(img.format, Rgb32);
  EXPECT_EQ(Bytes(img.pixels, img.pixels + 4), (Bytes{0x12, 0x34, 0xAB, 0}));
  image_free(&img);
}

TEST(ReadPng, OneBitPaletteBecomesIndexed8WithItsPalette) {
  Image img{};
  const Bytes plte = {10, 20, 30, 200, 100, 50};
  ASSERT_EQ(read_memory(make_png(10, 1, 1, 3, {{0xA0, 0x40}}, {{"PLTE", plte}}), &img), 1);  // 1010000001
  EXPECT_EQ(img.format, Indexed8);
  EXPECT_EQ(Bytes(img.pixels, img.pixels + 10), (Bytes{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
  ASSERT_EQ(img.paletteCount, 2);
  EXPECT_EQ(img.palette[0], colour_value(10, 20, 30));
  EXPECT_EQ(img.palette[1], colour_value(200, 100, 50));
  image_free(&img);
}

TEST(ReadPng, AlphaOnABackgroundOrKept) {
  // Red, fully transparent; blue, opaque; gray 100 at half alpha.
  const Bytes rgba = {255, 0, 0, 0, 0, 0, 255, 255};
  const Bytes gray_alpha = {100, 0, 100, 255};
  const uint32_t white = 0xFFFFFF, mid_gray = colour_value(0x80, 0x80, 0x80), bluish = colour_value(0x20, 0x40, 0x60);
  // 16 bits: fully transparent 1234 5678 9ABC, then opaque C8AB 64CD 32EF (high bytes 200, 100,
  // 50); gray 1234 transparent, then 9A77 opaque (154). The background is a colour of 8-bit
  // channels whatever the file's depth; gray pictures take its brightness (30 R + 59 G + 11 B) / 100.
  const Bytes rgba16 = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0, 0, 0xC8, 0xAB, 0x64, 0xCD, 0x32, 0xEF, 0xFF, 0xFF};
  const Bytes gray_alpha16 = {0x12, 0x34, 0, 0, 0x9A, 0x77, 0xFF, 0xFF};
  struct Case {
    const char* name;
    Bytes png;
    const uint32_t* background;
    Bytes pixels;
  } const cases[] = {
      {"RGBA on white", make_png(2, 1, 8, 6, {rgba}), &white, {255, 255, 255, 0, 0, 0, 255, 0}},
      {"RGBA kept", make_png(2, 1, 8, 6, {rgba}), nullptr, {255, 0, 0, 0, 0, 0, 255, 255}},
      {"gray alpha on white", make_png(2, 1, 8, 4, {gray_alpha}), &white, {255, 100}},
      {"gray alpha dropped", make_png(2, 1, 8, 4, {gray_alpha}), nullptr, {100, 100}},
      {"16-bit RGBA on white", make_png(2, 1, 16, 6, {rgba16}), &white, {255, 255, 255, 0, 200, 100, 50, 0}},
      {"16-bit RGBA on 808080", make_png(2, 1, 16, 6, {rgba16}), &mid_gray, {128, 128, 128, 0, 200, 100, 50, 0}},
      {"16-bit RGBA on 204060", make_png(2, 1, 16, 6, {rgba16}), &bluish, {0x20, 0x40, 0x60, 0, 200, 100, 50, 0}},
      {"16-bit RGBA kept", make_png(2, 1, 16, 6, {rgba16}), nullptr, {0x12, 0x56, 0x9A, 0, 200, 100, 50, 255}},
      {"16-bit gray alpha on white", make_png(2, 1, 16, 4, {gray_alpha16}), &white, {255, 154}},
      {"16-bit gray alpha on 808080", make_png(2, 1, 16, 4, {gray_alpha16}), &mid_gray, {128, 154}},
      {"16-bit gray alpha on 204060", make_png(2, 1, 16, 4, {gray_alpha16}), &bluish, {57, 154}},
      {"16-bit gray alpha dropped", make_png(2, 1, 16, 4, {gray_alpha16}), nullptr, {0x12, 154}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    ASSERT_EQ(read_memory(c.png, &img, c.background), 1) << base::last_error();
    EXPECT_EQ(Bytes(img.pixels, img.pixels + c.pixels.size()), c.pixels);
    image_free(&img);
  }
}

TEST(ReadPng, ResolutionFromPhysRoundedAndWrittenOnceTheHeaderIsRead) {
  Bytes phys;
  put_be32(phys, 2835);
  put_be32(phys, 11811);  // 299.99 dpi
  phys.push_back(1);
  Bytes png = make_png(1, 1, 8, 0, {{7}}, {{"pHYs", phys}});
  float res[2] = {-1, -1};
  Image img{};
  ASSERT_EQ(read_memory(png, &img, nullptr, res), 1);
  EXPECT_EQ(res[0], 72);
  EXPECT_EQ(res[1], 300);
  image_free(&img);
  // The image data broken before its first row: the read fails, the resolution is there.
  png[png.size() - 20] ^= 0xFF;
  res[0] = res[1] = -1;
  EXPECT_EQ(read_memory(png, &img, nullptr, res), 0);
  EXPECT_EQ(res[0], 72);
  EXPECT_EQ(img.pixels, nullptr);
}

TEST(ReadPng, TruncatedPictureKeepsTheRowsDecodedSoFar) {
  Image img{};
  float res[2];
  const std::string file = fixtures() + "/png_truncated.png";
  ASSERT_EQ(read_png(res, &img, file.c_str(), nullptr), 1) << base::last_error();
  EXPECT_EQ(img.width, 64u);
  EXPECT_GT(img.height, 0u);
  EXPECT_LT(img.height, 64u);
  const Bytes reference = read_bytes(fixtures() + "/png_truncated.rgb");
  const Bytes got = rgb_of(img);
  ASSERT_LE(got.size(), reference.size());
  EXPECT_EQ(first_difference(got, Bytes(reference.begin(), reference.begin() + static_cast<long>(got.size())), 0), -1);
  image_free(&img);
}

TEST(ReadPng, InterlacedPictureClaimingMoreThanItsDataCanInflateToIsRefused) {
  // 11000 x 11000 RGB, interlaced, behind a few dozen bytes of image data: clearing its rows
  // alone would take 480 MB.
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  put_be32(ihdr, 11000);
  put_be32(ihdr, 11000);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 1});
  put_chunk(png, "IHDR", ihdr);
  put_chunk(png, "IDAT", deflated(Bytes(1000, 0)));
  put_chunk(png, "IEND", {});
  Image img{};
  EXPECT_EQ(read_memory(png, &img), 0);
  EXPECT_STREQ(base::last_error(), "PNG claims more pixels than its data can hold");
  EXPECT_EQ(img.pixels, nullptr);
}

TEST(ReadPng, RefusesWhatItCannotRead) {
  const Bytes good = make_png(3, 2, 8, 0, {{1, 2, 3}, {4, 5, 6}});
  Bytes bad_signature = good;
  bad_signature[1] = 'Q';
  Bytes cut_header(good.begin(), good.begin() + 20);
  Bytes no_rows(good.begin(), good.begin() + 33);  // signature and IHDR only
  struct Case {
    const char* name;
    Bytes png;
  } const cases[] = {
      {"signature", bad_signature},
      {"header cut", cut_header},
      {"no image data", no_rows},
      {"colour type 1", make_png(3, 2, 8, 1, {{1, 2, 3}, {4, 5, 6}})},
      {"bit depth 3", make_png(3, 2, 3, 0, {{1}, {4}})},
      {"width 0", make_png(0, 2, 8, 0, {{}, {}})},
      {"wider than 65536", make_png(65537, 1, 1, 0, {Bytes(8193, 0)})},
      {"empty", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    EXPECT_EQ(read_memory(c.png, &img), 0);
    EXPECT_EQ(img.pixels, nullptr);
  }
}

// ---- writing

// An image of each format with a pattern, and its own palette when `palette` is set.
Image pattern_image(int32_t format, uint32_t width, uint32_t height, bool palette) {
  Image img{};
  uint32_t colours[256];
  for (uint32_t i = 0; i < 256; ++i) colours[i] = colour_value(i * 7, 255 - i, i * 13);
  const int32_t entries = palette ? format_entries(format) : 0;
  image_allocate(&img, format, static_cast<int32_t>(width), static_cast<int32_t>(height), entries,
                 entries ? colours : nullptr, 0, 0);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t v = x * 31 + y * 17 + (x ^ y);
      image_set_pixel(&img, static_cast<int32_t>(x), static_cast<int32_t>(y), format == Rgb32 ? v * 0x10305u & 0xFFFFFF : v);
    }
  }
  return img;
}

struct Ihdr {
  int depth;
  int colour_type;
};

Ihdr ihdr_of(const Bytes& png) { return png.size() > 26 ? Ihdr{png[24], png[25]} : Ihdr{-1, -1}; }

// The data of the first chunk of `type`, or empty.
Bytes chunk_of(const Bytes& png, const char* type) {
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t n = static_cast<uint32_t>(png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]);
    if (std::memcmp(png.data() + at + 4, type, 4) == 0) return Bytes(png.begin() + at + 8, png.begin() + at + 8 + n);
    at += 12 + n;
  }
  return {};
}

TEST(WritePng, EveryFormatByTheTableReadBackAndByPillow) {
  struct Case {
    int32_t format;
    bool palette;
    Ihdr ihdr;
  } const cases[] = {
      {Mono1, false, {1, 0}},    {Gray4, false, {4, 0}},    {Gray8, false, {8, 0}},   {Indexed4, false, {4, 3}},
      {Indexed4, true, {4, 3}},  {Indexed8, false, {8, 3}}, {Indexed8, true, {8, 3}}, {Rgb32, false, {8, 2}},
  };
  TempDir dir;
  std::vector<std::string> files;
  std::vector<Bytes> expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + (c.palette ? " with palette" : ""));
    Image img = pattern_image(c.format, 19, 7, c.palette);
    const std::string file = dir / ("w" + std::to_string(files.size()) + ".png");
    ASSERT_EQ(save_png(&img, file.c_str(), 0, 0), 1) << base::last_error();
    const Bytes png = read_bytes(file);
    EXPECT_EQ(ihdr_of(png).depth, c.ihdr.depth);
    EXPECT_EQ(ihdr_of(png).colour_type, c.ihdr.colour_type);
    EXPECT_EQ(png[28], 0) << "not interlaced";
    EXPECT_TRUE(chunk_of(png, "pHYs").empty());
    if (c.ihdr.colour_type == 3) {
      EXPECT_EQ(chunk_of(png, "PLTE").size(), 3u << c.ihdr.depth);
    }
    Image back{};
    float res[2];
    ASSERT_EQ(read_png(res, &back, file.c_str(), nullptr), 1);
    EXPECT_EQ(back.format, c.format);
    EXPECT_EQ(rgb_of(back), rgb_of(img));
    files.push_back(file);
    expected.push_back(rgb_of(img));
    image_free(&back);
    image_free(&img);
  }
  std::string command = kPython + " " + quote(std::string(LUMRA_SOURCE_DIR) + "/tests/image/picture_fixtures.py") + " --decode";
  for (const std::string& f : files) command += " " + quote(f);
  ASSERT_EQ(shell(command), 0);
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(read_bytes(files[i] + ".rgb"), expected[i]) << files[i];
}

TEST(WritePng, PalettesCoverEveryIndexThePixelsUse) {
  // Indices past the image's palette get black entries, so the file is valid and reads back the
  // same indices; a nibble past an odd width is no pixel.
  const uint32_t two[2] = {colour_value(10, 20, 30), colour_value(200, 100, 50)};
  struct Case {
    const char* name;
    int32_t format;
    int32_t width;
    Bytes row;  // as stored
    size_t entries;
  } const cases[] = {
      {"index 5 in the middle", Indexed8, 4, {0, 5, 1, 0}, 6},
      {"index 5 in the last column", Indexed8, 4, {0, 1, 0, 5}, 6},
      {"indices within the palette", Indexed8, 4, {0, 1, 1, 0}, 2},
      {"Indexed4: index 9", Indexed4, 5, {0x09, 0x10, 0x00}, 10},
      {"Indexed4: the nibble past the width", Indexed4, 5, {0x01, 0x10, 0x0F}, 2},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    ASSERT_TRUE(image_allocate(&img, c.format, c.width, 1, 2, two, 0, 0));
    std::memcpy(img.pixels, c.row.data(), c.row.size());
    const std::string file = dir / "p.png";
    ASSERT_EQ(save_png(&img, file.c_str(), 0, 0), 1) << base::last_error();
    const Bytes plte = chunk_of(read_bytes(file), "PLTE");
    ASSERT_EQ(plte.size(), 3 * c.entries);
    EXPECT_EQ(Bytes(plte.begin(), plte.begin() + 6), (Bytes{10, 20, 30, 200, 100, 50}));
    for (size_t i = 6; i < plte.size(); ++i) EXPECT_EQ(plte[i], 0) << "entry " << i / 3 << " is black";
    Image back{};
    float res[2];
    ASSERT_EQ(read_png(res, &back, file.c_str(), nullptr), 1) << base::last_error();
    EXPECT_EQ(raw_of(back), raw_of(img));
    image_free(&back);
    image_free(&img);
  }
}

TEST(WritePng, ResolutionAsPixelsPerMetre) {
  TempDir dir;
  Image img = pattern_image(Gray8, 4, 4, false);
  ASSERT_EQ(save_png(&img, (dir / "r.png").c_str(), 72, 300), 1);
  const Bytes phys = chunk_of(read_bytes(dir / "r.png"), "pHYs");
  EXPECT_EQ(phys, (Bytes{0, 0, 0x0B, 0x13, 0, 0, 0x2E, 0x23, 1}));  // 2835, 11811, metre
  float res[2];
  Image back{};
  ASSERT_EQ(read_png(res, &back, (dir / "r.png").c_str(), nullptr), 1);
  EXPECT_EQ(res[0], 72);
  EXPECT_EQ(res[1], 300);
  image_free(&back);
  image_free(&img);
}

TEST(WritePng, TransparencyModeTwoRecordsTheTopLeftColour) {
  struct Case {
    int32_t format;
    uint32_t top_left;
    Bytes trns;
    Bytes bkgd;
  } const cases[] = {
      {Gray8, 200, {0, 200}, {0, 200}},
      {Gray4, 9, {0, 9}, {0, 9}},
      {Indexed8, 3, {255, 255, 255, 0}, {3}},
      {Rgb32, colour_value(1, 2, 3), {0, 1, 0, 2, 0, 3}, {0, 1, 0, 2, 0, 3}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    Image img = pattern_image(c.format, 5, 3, false);
    image_set_pixel(&img, 0, 0, c.top_left);
    set_transparency_mode(&img, 2);
    ASSERT_EQ(save_png(&img, (dir / "t.png").c_str(), 0, 0), 1) << base::last_error();
    const Bytes png = read_bytes(dir / "t.png");
    EXPECT_EQ(chunk_of(png, "tRNS"), c.trns);
    EXPECT_EQ(chunk_of(png, "bKGD"), c.bkgd);
    image_free(&img);
  }
}

TEST(WritePng, ToACallbackWithoutAFile) {
  TempDir dir;
  Image img = pattern_image(Rgb32, 33, 9, false);
  ASSERT_EQ(save_png(&img, (dir / "f.png").c_str(), 96, 96), 1);
  Bytes collected;
  const PngWriteFn collect = [](png_struct_def* png, unsigned char* data, size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
  };
  ASSERT_EQ(write_png(&img, (dir / "never.png").c_str(), collect, &collected, 96, 96), 1);
  EXPECT_EQ(collected, read_bytes(dir / "f.png"));
  EXPECT_FALSE(exists(dir / "never.png"));
  image_free(&img);
}

TEST(WritePng, NothingToWriteOrNowhereToWriteIt) {
  Image empty{};
  EXPECT_EQ(save_png(&empty, "/tmp/lumra-never.png", 0, 0), 0);
  EXPECT_FALSE(exists("/tmp/lumra-never.png"));
  Image img = pattern_image(Gray8, 2, 2, false);
  EXPECT_EQ(save_png(&img, "/nonexistent-folder/x.png", 0, 0), 0);
  image_free(&img);
}

}  // namespace
}  // namespace lumra::image
