// lumra-pic as a user runs it: help, usage errors (exit 2), failures with one line on stderr
// (exit 1), the info lines, conversion to each format written, and its place in the install.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "framework/image/picture_file.h"
#include "tests/files/files_test_support.h"

namespace lumra::image {
namespace {

using files::test_support::run;
using files::test_support::RunResult;

RunResult pic(std::vector<std::string> args) {
  args.insert(args.begin(), LUMRA_PIC);
  return run(args);
}

struct Scratch {
  std::string path;
  Scratch() {
    char pattern[] = "/tmp/lumra-pic-XXXXXX";
    path = mkdtemp(pattern) ? pattern : "/tmp";
  }
  ~Scratch() { run({"rm", "-rf", path}); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// A 6 x 4 picture saved as PNG: RGBA with a transparent corner, or Mono1.
std::string make_png(const Scratch& dir, int32_t format) {
  Image img{};
  image_allocate(&img, format, 6, 4, 0, nullptr, 0, 0);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 6; ++x) image_set_pixel(&img, x, y, format == Rgb32 ? colour_value(x * 40, y * 60, 200) : (x + y) & 1);
  }
  const std::string file = dir / (format == Rgb32 ? "rgb.png" : "mono.png");
  save_png(&img, file.c_str(), 72, 72);
  image_free(&img);
  return file;
}

TEST(LumraPic, Help) {
  for (const char* flag : {"--help", "-h"}) {
    const RunResult r = pic({flag});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("usage: lumra-pic info FILE"), 0u) << r.out;
    EXPECT_NE(r.out.find("exit status"), std::string::npos);
  }
}

TEST(LumraPic, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"info"},
      {"frob", "x.png"},
      {"convert", "a.png"},
      {"convert", "a.png", "b.gif"},
      {"convert", "a.png", "b.png", "--quality", "101"},
      {"convert", "a.png", "b.png", "--quality"},
      {"convert", "a.png", "b.png", "--background", "12345"},
      {"convert", "a.png", "b.png", "--background", "12345G"},
      {"show", "a.png", "--mode", "7"},
      {"show", "a.png", "--mode", "0"},
      {"show", "a.png", "--width", "0"},
      {"show", "a.png", "--height", "x"},
      {"info", "a.png", "--mode", "3"},
      {"convert", "a.png", "b.png", "--mode", "3"},
  };
  for (const auto& args : cases) {
    const RunResult r = pic(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "(none)" : args[0]) << " " << r.out;
    EXPECT_NE(r.out.find("usage: lumra-pic"), std::string::npos);
  }
}

TEST(LumraPic, FailuresExitWithOneAndAReason) {
  Scratch dir;
  const std::string rgb = make_png(dir, Rgb32);
  const struct {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{"info", dir / "missing.png"}, "Unable to open the file"},
      {{"info", dir / "picture.gif"}, "converter"},
      {{"convert", rgb, dir / "out.pcx"}, "PCX is written for Mono1 images only"},
      {{"convert", dir / "missing.bmp", dir / "out.png"}, "cannot read"},
      {{"convert", rgb, dir / "no-folder/out.png"}, "cannot write"},
      {{"show", dir / "missing.png"}, "cannot read"},
  };
  for (const auto& c : cases) {
    const RunResult r = pic(c.args);
    EXPECT_EQ(r.status, 1) << c.args[1];
    EXPECT_NE(r.out.find(c.reason), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one line: " << r.out;
  }
}

TEST(LumraPic, InfoLines) {
  Scratch dir;
  const RunResult r = pic({"info", make_png(dir, Mono1)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "format: PNG\npixels: Mono1\nwidth: 6\nheight: 4\nx resolution: 72\ny resolution: 72\n");
}

// Documents through Ghostscript, and a GIF through the shipped imgconv and ImageMagick.
TEST(LumraPic, DocumentsAndConverterRouteFiles) {
  Scratch dir;
  const std::string eps = dir / "box.eps";
  std::ofstream(eps) << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 72\n0 0 1 setrgbcolor 0 0 144 72 rectfill\n";
  const std::string pdf = dir / "page.pdf";
  ASSERT_EQ(run({"/usr/bin/gs", "-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", "-sDEVICE=pdfwrite", "-sOutputFile=" + pdf, eps}).status, 0);
  const std::string gif = dir / "picture.gif";
  ASSERT_EQ(run({"/usr/bin/convert", "-size", "5x4", "xc:blue", gif}).status, 0);
  const std::string saved = getenv("PATH") ? getenv("PATH") : "";
  const std::string imgconv = LUMRA_IMGCONV;
  setenv("PATH", (imgconv.substr(0, imgconv.rfind('/')) + ":" + saved).c_str(), 1);
  const struct {
    std::string path;
    std::string info;
  } cases[] = {
      {eps, "format: EPS\npixels: Rgb32\nwidth: 150\nheight: 75\nx resolution: 75\ny resolution: 75\n"},
      {pdf, "format: PDF\npixels: Rgb32\nwidth: 150\nheight: 75\nx resolution: 75\ny resolution: 75\n"},
      {gif, "format: ?\npixels: Rgb32\nwidth: 5\nheight: 4\nx resolution: 0\ny resolution: 0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const RunResult info = pic({"info", c.path});
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_EQ(info.out, c.info);
    const RunResult converted = pic({"convert", c.path, c.path + ".png"});
    EXPECT_EQ(converted.status, 0) << converted.out;
    Image img{};
    EXPECT_EQ(load_picture(&img, (c.path + ".png").c_str(), nullptr, nullptr, nullptr, nullptr), 1);
    image_free(&img);
  }
  setenv("PATH", saved.c_str(), 1);
}

TEST(LumraPic, ConvertsToEachFormatItWrites) {
  Scratch dir;
  const std::string rgb = make_png(dir, Rgb32), mono = make_png(dir, Mono1);
  const struct {
    std::string in;
    const char* out;
    std::vector<std::string> options;
    int32_t format;
    bool exact;
  } cases[] = {
      {rgb, "a.bmp", {}, Rgb32, true},
      {rgb, "a.PNG", {}, Rgb32, true},
      {rgb, "a.jpg", {"--quality", "95"}, Rgb32, false},
      {rgb, "a.jpeg", {}, Rgb32, false},
      {mono, "m.pcx", {}, Mono1, true},
      {mono, "m.bmp", {}, Mono1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    std::vector<std::string> args = {"convert", c.in, dir / c.out};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult r = pic(args);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    Image src{}, out{};
    ASSERT_EQ(load_picture(&src, c.in.c_str(), nullptr, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(load_picture(&out, (dir / c.out).c_str(), nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(out.format, c.format);
    EXPECT_EQ(out.width, src.width);
    for (int32_t y = 0; y < 4 && c.exact; ++y) {
      for (int32_t x = 0; x < 6; ++x) {
        uint32_t a = 0, b = 0, raw = 0;
        image_get_pixel_colour(&src, x, y, &raw, &a);
        image_get_pixel_colour(&out, x, y, &raw, &b);
        EXPECT_EQ(a, b) << x << ", " << y;
      }
    }
    image_free(&src);
    image_free(&out);
  }
}

// Arguments are UTF-8 file names here, opened as they are for every format.
TEST(LumraPic, NonAsciiNamesAsTheShellGivesThem) {
  Scratch dir;
  const std::string rgb = make_png(dir, Rgb32), mono = make_png(dir, Mono1);
  const struct {
    std::string in;
    const char* out;
  } cases[] = {{rgb, "caf\xC3\xA9.bmp"}, {rgb, "caf\xC3\xA9.png"}, {rgb, "caf\xC3\xA9.jpg"}, {mono, "caf\xC3\xA9.pcx"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    ASSERT_EQ(pic({"convert", c.in, dir / c.out}).status, 0);
    const RunResult info = pic({"info", dir / c.out});
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("width: 6\n"), std::string::npos) << info.out;
    const RunResult again = pic({"convert", dir / c.out, dir / "r\xC3\xA9sum\xC3\xA9.png"});
    EXPECT_EQ(again.status, 0) << again.out;
  }
}

TEST(LumraPic, BackgroundFlattensTransparency) {
  Scratch dir;
  // 2 x 1 RGBA: a transparent red pixel and an opaque blue one, written by Python's zlib.
  const std::string png = dir / "alpha.png";
  const RunResult made = run({"/usr/bin/python3", "-c",
                              "import struct,zlib,sys\n"
                              "def c(t,d): return struct.pack('>I',len(d))+t+d+struct.pack('>I',zlib.crc32(t+d))\n"
                              "open(sys.argv[1],'wb').write(b'\\x89PNG\\r\\n\\x1a\\n'+c(b'IHDR',struct.pack('>IIBBBBB',2,1,8,6,0,0,0))"
                              "+c(b'IDAT',zlib.compress(bytes([0,255,0,0,0,0,0,255,255])))+c(b'IEND',b''))\n",
                              png});
  ASSERT_EQ(made.status, 0) << made.out;
  ASSERT_EQ(pic({"convert", png, dir / "flat.bmp", "--background", "00FF80"}).status, 0);
  Image img{};
  ASSERT_EQ(load_picture(&img, (dir / "flat.bmp").c_str(), nullptr, nullptr, nullptr, nullptr), 1);
  uint32_t v = 0;
  image_get_pixel(&img, 0, 0, &v);
  EXPECT_EQ(v, colour_value(0x00, 0xFF, 0x80));
  image_get_pixel(&img, 1, 0, &v);
  EXPECT_EQ(v, colour_value(0, 0, 255));
  image_free(&img);
}

TEST(LumraPic, InstalledWithTheProject) {
  Scratch dir;
  const RunResult r = run({"cmake", "--install", LUMRA_BUILD_DIR, "--prefix", dir.path});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(run({"test", "-x", dir / "bin/lumra-pic"}).status, 0) << r.out;
}

}  // namespace
}  // namespace lumra::image
