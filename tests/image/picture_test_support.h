// Helpers of the picture-file tests: the generated fixtures folder (written once per build by
// picture_fixtures.py through a CTest fixture, or here when missing), whole files, child programs,
// PNG bytes assembled with zlib for exact layouts, and decoded images as 8-bit RGB.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/image/image.h"

namespace lumra::image::test_support {

using Bytes = std::vector<uint8_t>;

inline const std::string kPython = "/usr/bin/python3";  // Debian's, which has python3-pil

inline bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

inline Bytes read_bytes(const std::string& path) {
  Bytes out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
  }
  return out;
}

inline void write_bytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  }
  std::fclose(f);
}

inline std::string quote(const std::string& s) { return "'" + s + "'"; }

// Runs a shell command; its status (-1 when it could not run).
inline int shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return status == -1 ? -1 : WEXITSTATUS(status);
}

// Where the reference tools live; a missing one fails the test that needs it, loudly.
inline void require_tools() {
  for (const char* tool : {"/usr/bin/convert", "/usr/bin/tiffcp", "/usr/bin/cjpeg", "/usr/bin/djpeg"}) {
    ASSERT_TRUE(exists(tool)) << tool << " is missing: scripts/test installs it (imagemagick, libtiff-tools, libjpeg-turbo-progs)";
  }
  ASSERT_EQ(shell(kPython + " -c 'import PIL' 2>/dev/null"), 0) << "python3-pil is missing: scripts/test installs it";
}

// The generated fixtures; made here when the CTest fixture has not run (a direct run).
inline const std::string& fixtures() {
  static const std::string dir = [] {
    const std::string d = LUMRA_PICTURE_FIXTURES;
    if (!exists(d + "/.complete")) {
      require_tools();
      const std::string script = std::string(LUMRA_SOURCE_DIR) + "/tests/image/picture_fixtures.py";
      EXPECT_EQ(shell(kPython + " " + quote(script) + " " + quote(d)), 0);
    }
    return d;
  }();
  return dir;
}

// A private folder for files a test writes, removed at exit of the test.
struct TempDir {
  std::string path;
  TempDir() {
    char pattern[] = "/tmp/lumra-picture-XXXXXX";
    path = mkdtemp(pattern) ? pattern : "/tmp";
  }
  ~TempDir() { shell("rm -rf " + quote(path)); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

// Each pixel as red, green, blue bytes, in the colours drawing gives it.
inline Bytes rgb_of(const Image& img) {
  Bytes out;
  out.reserve(static_cast<size_t>(img.width) * img.height * 3);
  for (uint32_t y = 0; y < img.height; ++y) {
    for (uint32_t x = 0; x < img.width; ++x) {
      uint32_t v = 0;
      image_get_pixel(&img, static_cast<int32_t>(x), static_cast<int32_t>(y), &v);
      const uint32_t c = img.format == Rgb32 ? v : entry_colour(&img, v);
      out.push_back(static_cast<uint8_t>(c));
      out.push_back(static_cast<uint8_t>(c >> 8));
      out.push_back(static_cast<uint8_t>(c >> 16));
    }
  }
  return out;
}

// Each pixel's raw value (bit, nibble, byte or colour value), row by row.
inline std::vector<uint32_t> raw_of(const Image& img) {
  std::vector<uint32_t> out;
  for (uint32_t y = 0; y < img.height; ++y) {
    for (uint32_t x = 0; x < img.width; ++x) {
      uint32_t v = 0;
      image_get_pixel(&img, static_cast<int32_t>(x), static_cast<int32_t>(y), &v);
      out.push_back(v);
    }
  }
  return out;
}

// Position of the first byte differing by more than `tolerance`, or -1.
inline long first_difference(const Bytes& a, const Bytes& b, int tolerance) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i])) > tolerance) return static_cast<long>(i);
  }
  return -1;
}

// PNG pieces for exact layouts.
inline void put_be32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}

inline void put_chunk(Bytes& png, const char* type, const Bytes& data) {
  put_be32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put_be32(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

// The bytes as one zlib stream.
inline Bytes deflated(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes z(size);
  compress(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  z.resize(size);
  return z;
}

// A non-interlaced PNG of the given raw rows (each without its filter byte; filter 0 is added).
inline Bytes make_png(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour_type, const std::vector<Bytes>& rows,
                      const std::vector<std::pair<std::string, Bytes>>& extra_chunks = {}) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  put_be32(ihdr, width);
  put_be32(ihdr, height);
  ihdr.insert(ihdr.end(), {depth, colour_type, 0, 0, 0});
  put_chunk(png, "IHDR", ihdr);
  for (const auto& [type, data] : extra_chunks) put_chunk(png, type.c_str(), data);
  Bytes raw;
  for (const Bytes& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  put_chunk(png, "IDAT", deflated(raw));
  put_chunk(png, "IEND", {});
  return png;
}

}  // namespace lumra::image::test_support
