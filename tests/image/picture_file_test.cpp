// The picture loader against reference decoders: every generated fixture is loaded by its
// extension and must give the format expected and exactly the pixels Pillow/libtiff, ImageMagick
// or djpeg give (alpha compositing within 1). Then the resolution rules, the routes by
// extension, the pixel limit, and a replay of the malformed samples.
#include <dirent.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/image/picture_file.h"
#include "tests/image/picture_test_support.h"

namespace lumra::image {
namespace {

using namespace test_support;

struct DecodeCase {
  std::string file;
  int32_t format;
  bool on_white;  // load with a white background colour
  int tolerance;
};

// Test names show the file, not the record's bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.file; }

std::vector<DecodeCase> decode_cases() {
  std::vector<DecodeCase> cases = {
      {"png_c0_d1.png", Mono1, false, 0},          {"png_c0_d2.png", Gray8, false, 0},
      {"png_c0_d4.png", Gray4, false, 0},          {"png_c0_d8.png", Gray8, false, 0},
      {"png_c0_d16.png", Gray8, false, 0},         {"png_c2_d8.png", Rgb32, false, 0},
      {"png_c2_d16.png", Rgb32, false, 0},         {"png_c3_d1.png", Indexed8, false, 0},
      {"png_c3_d2.png", Indexed8, false, 0},       {"png_c3_d4.png", Indexed4, false, 0},
      {"png_c3_d8.png", Indexed8, false, 0},       {"png_c4_d8.png", Gray8, false, 0},
      {"png_c4_d16.png", Gray8, false, 0},         {"png_c6_d8.png", Rgb32, false, 0},
      {"png_c6_d16.png", Rgb32, false, 0},         {"png_c0_d1_interlaced.png", Mono1, false, 0},
      {"png_c0_d2_interlaced.png", Gray8, false, 0}, {"png_c2_d8_interlaced.png", Rgb32, false, 0},
      {"png_c3_d4_interlaced.png", Indexed4, false, 0}, {"png_c6_d16_interlaced.png", Rgb32, false, 0},
      {"png_c4_d8_interlaced.png", Gray8, false, 0}, {"png_c4_d8_on_white.png", Gray8, true, 1},
      {"png_c4_d16_on_white.png", Gray8, true, 1}, {"png_c6_d8_on_white.png", Rgb32, true, 1},
      {"png_c6_d16_on_white.png", Rgb32, true, 1}, {"png_c0_d2_trns.png", Gray8, false, 0},
      {"png_imagemagick_rgb.png", Rgb32, false, 0},
      {"bmp_imagemagick_bmp3.bmp", Rgb32, false, 0}, {"bmp_imagemagick_argb.bmp", Rgb32, false, 0},
      {"bmp_imagemagick_palette.bmp", Indexed8, false, 0},  // run-length coded by ImageMagick
      {"bmp_8_run_length.bmp", Indexed8, false, 0},       {"bmp_4_run_length.bmp", Indexed4, false, 0},
      {"pcx_1plane.pcx", Mono1, false, 0},         {"pcx_4planes.pcx", Indexed4, false, 0},
      {"pcx_4planes_runs_cross_lines.pcx", Indexed4, false, 0}, {"pcx_1plane_runs_cross_lines.pcx", Mono1, false, 0},
      {"pcx_1plane_long_lines.pcx", Mono1, false, 0},
      {"tiff_rgb_lzw_predictor_mm.tif", Rgb32, false, 0}, {"tiff_gray8_lzw_one_strip_ii.tif", Gray8, false, 0},
  };
  for (const char* jpeg : {"jpeg_rgb_unit1", "jpeg_rgb_unit2", "jpeg_rgb_no_density", "jpeg_rgb_progressive", "jpeg_rgb_444"}) {
    cases.push_back({std::string(jpeg) + ".jpg", Rgb32, false, 0});
  }
  cases.push_back({"jpeg_gray_unit1.jpg", Gray8, false, 0});
  cases.push_back({"jpeg_gray_unit2.jpg", Gray8, false, 0});
  const std::pair<int, int32_t> bmp_bits[] = {{1, Mono1}, {4, Indexed4}, {8, Indexed8}, {24, Rgb32}, {32, Rgb32}};
  for (const auto& [bits, format] : bmp_bits) {
    for (const char* layout : {"info40", "v5", "info40_topdown", "v5_topdown"}) {
      cases.push_back({"bmp_" + std::to_string(bits) + "_" + layout + ".bmp", format, false, 0});
    }
  }
  const std::pair<const char*, int32_t> tiff_kinds[] = {
      {"gray1", Mono1},      {"gray4", Gray4},       {"gray8", Gray8},       {"whiteiszero8", Gray8}, {"whiteiszero1", Mono1},
      {"palette4", Indexed4}, {"palette8", Indexed8}, {"grayramp4", Gray4}, {"rgb", Rgb32}};
  for (const auto& [kind, format] : tiff_kinds) {
    for (const char* compression : {"none", "lzw", "packbits"}) {
      for (const char* order : {"ii", "mm"}) {
        cases.push_back({std::string("tiff_") + kind + "_" + compression + "_" + order + ".tif", format, false, 0});
      }
    }
  }
  // The flavours of today's files. `codings` x byte orders for each kind.
  const auto add_tiff = [&](const std::string& kind, int32_t format, std::vector<const char*> codings, bool with_alpha = false) {
    for (const char* coding : codings) {
      for (const char* order : {"ii", "mm"}) {
        const std::string stem = "tiff_" + kind + "_" + coding + "_" + order;
        cases.push_back({stem + ".tif", format, false, 0});
        if (with_alpha) cases.push_back({stem + "_on_white.tif", format, true, 1});
      }
    }
  };
  // 16-bit colour maps of values that are not multiples of 256, and old-style LZW strips: what
  // libtiff's RGBA reader gives.
  cases.push_back({"tiff_palette8_map16_none_ii.tif", Indexed8, false, 0});
  cases.push_back({"tiff_palette8_map16_lzw_mm.tif", Indexed8, false, 0});
  cases.push_back({"tiff_gray8_oldlzw_ii.tif", Gray8, false, 0});
  cases.push_back({"tiff_rgb_oldlzw_ii.tif", Rgb32, false, 0});
  cases.push_back({"tiff_palette8_oldlzw_ii.tif", Indexed8, false, 0});
  add_tiff("gray8", Gray8, {"deflate", "deflate_predictor"});
  add_tiff("rgb", Rgb32, {"deflate", "deflate_predictor"});
  add_tiff("palette8", Indexed8, {"deflate"});
  cases.push_back({"tiff_rgb_olddeflate_ii.tif", Rgb32, false, 0});
  for (const char* kind : {"gray16", "whiteiszero16", "rgb16"}) {
    add_tiff(kind, std::string(kind) == "rgb16" ? Rgb32 : Gray8, {"none", "lzw", "lzw_predictor", "deflate_predictor"});
  }
  const std::pair<const char*, int32_t> tiled_kinds[] = {{"gray1", Mono1}, {"gray4", Gray4},       {"gray8", Gray8},
                                                          {"palette8", Indexed8}, {"rgb", Rgb32}, {"rgb16", Rgb32}};
  for (const auto& [kind, format] : tiled_kinds) {
    add_tiff(std::string(kind) + "_tiled", format, {"none", "lzw", "deflate", "packbits"});
  }
  add_tiff("rgba8", Rgb32, {"none", "lzw", "deflate"}, true);
  add_tiff("rgba16", Rgb32, {"none", "lzw", "deflate"}, true);
  add_tiff("grayalpha8", Gray8, {"none", "lzw", "deflate"}, true);
  add_tiff("grayalpha16", Gray8, {"none", "lzw", "deflate"}, true);
  cases.push_back({"tiff_imagemagick_rgba.tif", Rgb32, false, 0});
  return cases;
}

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, EqualsTheReferenceDecoder) {
  const DecodeCase& c = GetParam();
  const std::string file = fixtures() + "/" + c.file;
  const std::string stem = c.file.substr(0, c.file.rfind('.'));
  const Bytes reference = read_bytes(fixtures() + "/" + stem + ".rgb");
  ASSERT_FALSE(reference.empty()) << "no reference for " << c.file;
  Image img{};
  const uint32_t white = 0xFFFFFF;
  ASSERT_EQ(load_picture(&img, file.c_str(), nullptr, nullptr, c.on_white ? &white : nullptr, nullptr), 1)
      << base::last_error();
  EXPECT_EQ(img.format, c.format);
  const Bytes got = rgb_of(img);
  ASSERT_EQ(got.size(), reference.size()) << img.width << " x " << img.height;
  const long at = first_difference(got, reference, c.tolerance);
  EXPECT_EQ(at, -1) << "pixel " << at / 3 << " (x " << at / 3 % img.width << ", y " << at / 3 / img.width
                    << ") channel " << at % 3 << ": " << int(got[at < 0 ? 0 : at]) << " vs " << int(reference[at < 0 ? 0 : at]);
  image_free(&img);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Decode, ::testing::ValuesIn(decode_cases()), [](const auto& param_info) {
  std::string name = param_info.param.file;
  for (char& ch : name) {
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
});

// The resolution each route reports, in dots per inch.
TEST(LoadPicture, ReportsResolutionByFormat) {
  struct Case {
    const char* file;
    float x;
    float y;
  } const cases[] = {
      {"bmp_24_info40.bmp", 72.009f, 72.009f},  // 2835 pixels per metre x 0.0254
      {"png_phys.png", 72, 100},                // pHYs 2835 and 3937 per metre, rounded
      {"png_c0_d8.png", 0, 0},                  // no pHYs
      {"pcx_1plane.pcx", 75, 75},               // PCX always
      {"tiff_unit1.tif", 0, 0},                 // unit "none"
      {"tiff_unit2.tif", 300, 150},             // inch
      {"tiff_unit3.tif", 762, 381},             // centimetre x 2.54
      {"tiff_unit2_mm.tif", 300, 150},          // the same, big-endian: rationals in the file's order
      {"tiff_unit3_mm.tif", 762, 381},
      {"tiff_gray8_none_ii.tif", 0, 0},         // no unit at all
      {"jpeg_rgb_unit1.jpg", 300, 200},         // dots per inch
      {"jpeg_rgb_unit2.jpg", 254, 101.6f},      // dots per centimetre x 2.54
      {"jpeg_gray_unit2.jpg", 254, 254},
      {"jpeg_rgb_no_density.jpg", 75, 75},      // unit 0: 0 becomes 75
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Image img{};
    float x = -1, y = -1;
    ASSERT_EQ(load_picture(&img, (fixtures() + "/" + c.file).c_str(), &x, &y, nullptr, nullptr), 1) << base::last_error();
    EXPECT_NEAR(x, c.x, 1e-3);
    EXPECT_NEAR(y, c.y, 1e-3);
    image_free(&img);
  }
}

TEST(LoadPicture, ResolutionUntouchedOnFailureExceptJpegZero) {
  struct Case {
    const char* name;
    float start;
    float after;
  } const cases[] = {
      {"missing.png", 5, 5}, {"missing.bmp", 5, 5}, {"missing.tif", 0, 0},
      {"missing.jpg", 5, 5},  // JPEG: never read, and not 0
      {"missing.jpeg", 0, 75},  // JPEG: 0 becomes 75 whatever the result
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image img{};
    float x = c.start, y = c.start;
    EXPECT_EQ(load_picture(&img, (fixtures() + "/" + c.name).c_str(), &x, &y, nullptr, nullptr), 0);
    EXPECT_EQ(x, c.after);
    EXPECT_EQ(y, c.after);
    EXPECT_EQ(img.pixels, nullptr);
  }
}

TEST(LoadPicture, ChoosesTheReaderByExtension) {
  TempDir dir;
  const Bytes png = read_bytes(fixtures() + "/png_c2_d8.png");
  write_bytes(dir / "LOGO.PNG", png);
  write_bytes(dir / "picture.dat", png);
  write_bytes(dir / "noextension", png);
  write_bytes(dir / "document.pdf", png);
  write_bytes(dir / "scan.PS", png);
  write_bytes(dir / "drawing.eps", png);
  write_bytes(dir / "photo.gif", png);
  shell("mkdir " + quote(dir / "folder.png"));
  write_bytes(dir / "folder.png/plain", png);
  struct Case {
    std::string path;
    const char* forced;
    int result;
  } const cases[] = {
      {dir / "LOGO.PNG", nullptr, 1},         // letter case does not matter
      {dir / "picture.dat", ".png", 1},       // the forced extension wins
      {dir / "picture.dat", ".PNG", 1},
      {dir / "picture.dat", nullptr, 0},      // converter route: not built yet
      {dir / "noextension", nullptr, 0},      // no extension: converter route
      {dir / "folder.png/plain", nullptr, 0}, // a dot in a folder name is no extension
      {dir / "document.pdf", nullptr, 0},     // documents: not built yet
      {dir / "scan.PS", nullptr, 0},
      {dir / "drawing.eps", nullptr, 0},
      {dir / "photo.gif", nullptr, 0},
      {dir / "LOGO.PNG", ".bmp", 0},          // the BMP reader refuses PNG bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + (c.forced ? std::string(" as ") + c.forced : ""));
    Image img{};
    EXPECT_EQ(load_picture(&img, c.path.c_str(), nullptr, nullptr, nullptr, c.forced), c.result) << base::last_error();
    EXPECT_EQ(img.pixels != nullptr, c.result == 1);
    image_free(&img);
  }
}

// The extension is the file name's from its last dot (files::split_path's rule), in any case.
TEST(LoadPicture, FormatByTheExtensionOfAPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"a/b/logo.png", "PNG"}, {"a\\b\\LOGO.Png", "PNG"}, {"C:\\x.png\\name", "?"}, {"name.png.gz", "?"},
      {"name.tar.TIF", "TIFF"}, {"noext", "?"}, {".png", "PNG"}, {"", "?"}, {"c:photo.JPEG", "JPEG"}};
  for (const auto& [path, format] : cases) EXPECT_STREQ(picture_format_name(path), format) << path;
}

// Real-world variants the readers refuse rather than misread.
TEST(LoadPicture, RefusesUnsupportedVariantsCleanly) {
  TempDir dir;
  ASSERT_EQ(shell("/usr/bin/convert " + quote(fixtures() + "/png_c0_d1.png") + " PCX:" + quote(dir / "im.pcx")), 0);
  const std::string cases[] = {
      dir / "im.pcx",  // 8 bits per plane, 3 planes
  };
  for (const std::string& file : cases) {
    Image img{};
    EXPECT_EQ(load_picture(&img, file.c_str(), nullptr, nullptr, nullptr, nullptr), 0) << file;
    EXPECT_NE(std::string(base::last_error()), "") << file;
    EXPECT_EQ(img.pixels, nullptr);
  }
}

// Every reader checks the pixel limit before it allocates.
TEST(PictureLimits, EveryReaderRefusesMorePixelsThanTheLimit) {
  const char* files[] = {"png_c2_d8.png", "bmp_24_info40.bmp", "pcx_1plane.pcx", "tiff_rgb_lzw_ii.tif", "jpeg_rgb_unit1.jpg"};
  for (const char* file : files) {
    SCOPED_TRACE(file);
    Image img{};
    const std::string path = fixtures() + "/" + file;
    g_picture_limits.max_pixels = 850;  // one below 37 x 23 (JPEG: 61 x 45)
    if (std::string(file).find("jpeg") == 0) g_picture_limits.max_pixels = 61 * 45 - 1;
    EXPECT_EQ(load_picture(&img, path.c_str(), nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(base::last_error(), "picture has more pixels than the limit");
    EXPECT_EQ(img.pixels, nullptr);
    g_picture_limits.max_pixels += 1;
    EXPECT_EQ(load_picture(&img, path.c_str(), nullptr, nullptr, nullptr, nullptr), 1) << base::last_error();
    image_free(&img);
    picture_limits_reset();
  }
}

TEST(PictureLimits, SizeRule) {
  EXPECT_EQ(kMaxPicturePixels, int64_t{1} << 27);
  const struct {
    int64_t w, h;
    bool ok;
  } cases[] = {{1, 1, true},         {0, 5, false},         {5, -1, false},       {65536, 2048, true},
               {65536, 2049, false}, {65537, 1, false},     {16384, 8192, true},  {16385, 8192, false}};
  for (const auto& c : cases) EXPECT_EQ(picture_size_allowed(c.w, c.h), c.ok) << c.w << " x " << c.h;
}

// A small picture standing in for what the image held before a read.
Image three_by_three() {
  Image img{};
  image_allocate(&img, Gray8, 3, 3, 0, nullptr, 0, 0);
  image_fill(&img, 7);
  return img;
}

// The table in picture_file.h: refusals before allocating leave the image as it was, for every
// reader; data that breaks after allocating leaves what each reader's rule says.
TEST(LoadPicture, FailedReadsLeaveTheImageAsTheTableSays) {
  TempDir dir;
  const Bytes not_a_picture(200, 0x42);
  for (const char* name : {"bad.bmp", "bad.pcx", "bad.tif", "bad.png", "bad.jpg"}) {
    write_bytes(dir / name, not_a_picture);
    shell("mkdir " + quote(dir / ("folder-" + std::string(name))));  // no regular file
    for (const std::string& path :
         {dir / name, dir / ("missing-" + std::string(name)), dir / ("folder-" + std::string(name))}) {
      SCOPED_TRACE(path);
      Image img = three_by_three();
      const uint8_t* before = img.pixels;
      EXPECT_EQ(load_picture(&img, path.c_str(), nullptr, nullptr, nullptr, nullptr), 0);
      EXPECT_NE(std::string(base::last_error()), "");
      EXPECT_EQ(img.pixels, before);
      EXPECT_EQ(img.width, 3u);
      image_free(&img);
    }
  }

  // PCX: data that ends before the last row releases the pixels.
  Bytes pcx(128, 0);
  pcx[0] = 10, pcx[2] = 1, pcx[3] = 1, pcx[65] = 1;
  pcx[8] = 7, pcx[10] = 39, pcx[66] = 1;  // 8 x 40, one byte a line
  for (const uint8_t b : {0xC5, 0x00, 0x01}) pcx.push_back(b);  // six lines of forty (insert: GCC 12 warns falsely)
  write_bytes(dir / "short.pcx", pcx);
  // PNG: image data broken before the first row is complete empties the image.
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  put_chunk(png, "IHDR", {0, 0, 0, 8, 0, 0, 0, 4, 8, 0, 0, 0, 0});  // 8 x 4 gray
  put_chunk(png, "IDAT", {0x78, 0x01, 0x07, 0, 0, 0, 0});            // deflate block type 3: invalid
  put_chunk(png, "IEND", {});
  write_bytes(dir / "broken.png", png);
  struct Case {
    std::string path;
    int result;
    bool allocated;
  } const cases[] = {
      {dir / "short.pcx", 0, false},
      {dir / "broken.png", 0, false},
      {fixtures() + "/png_truncated.png", 1, true},  // the rows decoded so far (png_file_test.cpp)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Image img = three_by_three();
    EXPECT_EQ(load_picture(&img, c.path.c_str(), nullptr, nullptr, nullptr, nullptr), c.result) << base::last_error();
    EXPECT_EQ(img.pixels != nullptr, c.allocated);
    image_free(&img);
  }

  // JPEG: a decoder stopped before its first row (here by a scan limit of 0, checked on every
  // read of lines) keeps the image, and its rows are 0, not whatever the heap held.
  g_picture_limits.max_jpeg_scans = 0;
  Image img = three_by_three();
  EXPECT_EQ(load_picture(&img, (fixtures() + "/jpeg_rgb_unit1.jpg").c_str(), nullptr, nullptr, nullptr, nullptr), 0);
  picture_limits_reset();
  EXPECT_STREQ(base::last_error(), "JPEG has more scans than the limit");
  ASSERT_NE(img.pixels, nullptr);
  EXPECT_EQ(img.width, 61u);
  EXPECT_EQ(img.height, 45u);
  const size_t bytes = static_cast<size_t>(img.stride) * img.height;
  EXPECT_EQ(Bytes(img.pixels, img.pixels + bytes), Bytes(bytes, 0));
  image_free(&img);
}

// File names go to the system as the bytes given, "\\" read as "/": no character-set conversion
// for any reader or writer. Names in UTF-8 (as the shell passes them) and in bytes that are no
// UTF-8 at all; TIFF is read only, so its file is copied in.
TEST(FileNames, EveryReaderAndWriterOpensTheNameAsGiven) {
  TempDir dir;
  shell("mkdir " + quote(dir / "sub"));
  const Bytes tiff = read_bytes(fixtures() + "/tiff_gray8_lzw_ii.tif");
  Image rgb{}, mono{};
  ASSERT_EQ(image_allocate(&rgb, Rgb32, 5, 3, 0, nullptr, 0, 0), 1);
  image_fill_rgb(&rgb, colour_value(10, 200, 30));
  ASSERT_EQ(image_allocate(&mono, Mono1, 5, 3, 0, nullptr, 0, 0), 1);
  image_fill(&mono, 1);
  using Save = int (*)(const Image*, const char*);
  const struct {
    const char* extension;
    Save save;  // null: read only
  } formats[] = {
      {".bmp", [](const Image* i, const char* p) { return save_bmp(i, p, 72, 72); }},
      {".pcx", [](const Image* i, const char* p) { return save_pcx(i, p, 72, 72); }},
      {".png", [](const Image* i, const char* p) { return save_png(i, p, 72, 72); }},
      {".jpg", [](const Image* i, const char* p) { return save_jpeg(i, p, 90, 72, 72); }},
      {".tif", nullptr},
  };
  const char* stems[] = {"caf\xC3\xA9", "r\xC3\xA9sum\xC3\xA9 \xE2\x82\xAC", "\x82t\xE9"};  // café, résumé €, raw bytes
  for (const auto& f : formats) {
    for (const char* stem : stems) {
      const std::string name = std::string(stem) + f.extension;
      SCOPED_TRACE(name);
      const std::string path = dir / name;
      if (f.save) {
        const Image* source = std::string(f.extension) == ".pcx" ? &mono : &rgb;
        ASSERT_EQ(f.save(source, path.c_str()), 1) << base::last_error();
      } else {
        write_bytes(path, tiff);
      }
      ASSERT_TRUE(exists(path)) << "written under exactly the bytes given";
      Image img{};
      ASSERT_EQ(load_picture(&img, path.c_str(), nullptr, nullptr, nullptr, nullptr), 1) << base::last_error();
      EXPECT_EQ(img.width, f.save ? 5u : 37u);
      image_free(&img);
    }
    // "\\" is a separator on the way in and out.
    const std::string back = dir.path + "\\sub\\caf\xC3\xA9" + f.extension;
    const std::string forward = dir / ("sub/caf\xC3\xA9" + std::string(f.extension));
    SCOPED_TRACE(back);
    if (f.save) {
      ASSERT_EQ(f.save(std::string(f.extension) == ".pcx" ? &mono : &rgb, back.c_str()), 1) << base::last_error();
    } else {
      write_bytes(forward, tiff);
    }
    ASSERT_TRUE(exists(forward));
    Image img{};
    EXPECT_EQ(load_picture(&img, back.c_str(), nullptr, nullptr, nullptr, nullptr), 1) << base::last_error();
    image_free(&img);
  }
  // Each reader's own call, not only the loader.
  const std::string stem = dir / "caf\xC3\xA9";
  Image img{};
  uint8_t bmp_header[kBmpHeaderSize], pcx_header[kPcxHeaderSize];
  float resolution[2];
  EXPECT_EQ(read_bmp(bmp_header, &img, (stem + ".bmp").c_str()), 1) << base::last_error();
  EXPECT_EQ(read_pcx(pcx_header, &img, (stem + ".pcx").c_str()), 1) << base::last_error();
  EXPECT_EQ(read_tiff(nullptr, &img, (stem + ".tif").c_str()), 1) << base::last_error();
  EXPECT_EQ(read_png(resolution, &img, (stem + ".png").c_str(), nullptr), 1) << base::last_error();
  EXPECT_EQ(read_jpeg(&img, (stem + ".jpg").c_str(), nullptr, nullptr), 1) << base::last_error();
  image_free(&img);
  image_free(&rgb);
  image_free(&mono);
}

// Every sample in the malformed folder fails cleanly (run under the sanitizers by scripts/test).
TEST(Malformed, EverySampleFailsCleanly) {
  const std::string dir = std::string(LUMRA_TEST_DATA) + "/malformed";
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(d, nullptr) << dir;
  int count = 0;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string path = dir + "/" + e->d_name;
    SCOPED_TRACE(path);
    Image img{};
    float x = 0, y = 0;
    const uint32_t white = 0xFFFFFF;
    EXPECT_EQ(load_picture(&img, path.c_str(), &x, &y, &white, nullptr), 0);
    EXPECT_NE(std::string(base::last_error()), "");
    image_free(&img);
    ++count;
  }
  closedir(d);
  EXPECT_GE(count, 30);
}

}  // namespace
}  // namespace lumra::image
