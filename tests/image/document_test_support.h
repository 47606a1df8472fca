// Documents and folders for the Ghostscript and converter tests: a scratch folder per test, and
// PDF and PostScript documents written by hand, each page filled edge to edge with one colour so
// that its measured box is the page and a rendering shows whether the page landed where it should.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "tests/files/files_test_support.h"

namespace lumra::image::test_support {

struct Scratch {
  std::string path;
  Scratch() {
    char pattern[] = "/tmp/lumra-doc-XXXXXX";
    path = mkdtemp(pattern) ? pattern : "/tmp";
  }
  ~Scratch() { files::test_support::run({"rm", "-rf", path}); }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline std::string write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

inline bool exists(const std::string& path) { return std::ifstream(path).good(); }

// A one-page PDF of width × height points whose page is filled with red. The cross-reference
// table carries the objects' true offsets.
inline std::string pdf_page(double width, double height) {
  char box[64];
  std::snprintf(box, sizeof box, "0 0 %g %g", width, height);
  const std::string content = std::string("1 0 0 rg ") + box + " re f\n";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      std::string("<< /Type /Page /Parent 2 0 R /MediaBox [") + box + "] /Contents 4 0 R >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const size_t o : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", o);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

inline constexpr double kA4Width = 595.28;
inline constexpr double kA4Height = 841.89;

// The colour of a pixel of an Rgb32 image.
inline uint32_t pixel(const Image& img, int32_t x, int32_t y) {
  uint32_t value = 0;
  image_get_pixel(&img, x, y, &value);
  return value & 0xFFFFFF;
}

}  // namespace lumra::image::test_support
