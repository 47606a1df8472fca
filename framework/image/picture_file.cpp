// The picture loader: one table from extension to reader, each reader turning its format's
// resolution into dots per inch. Documents go through Ghostscript, every other extension through
// the external converter (framework/image/ghostscript.h, converter.h).
#include "framework/image/picture_file.h"

#include <cmath>
#include <string>
#include <string_view>

#include "framework/base/ascii.h"
#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/files/path.h"
#include "framework/image/converter.h"
#include "framework/image/ghostscript.h"
#include "platform/system/fs.h"
#include "platform/system/process.h"

namespace lumra::image {
namespace {

using base::fail;

struct Resolution {
  float x;
  float y;
};

// A reader fills the image and, on success, the resolution. `res` starts at 0, 0.
using Reader = int (*)(Image* img, const char* path, Resolution* res, const uint32_t* background);

int load_bmp(Image* img, const char* path, Resolution* res, const uint32_t*) {
  uint8_t header[kBmpHeaderSize];
  if (!read_bmp(header, img, path)) return 0;
  res->x = static_cast<float>(static_cast<int32_t>(base::load_u32le(header + 38)) * 0.0254);
  res->y = static_cast<float>(static_cast<int32_t>(base::load_u32le(header + 42)) * 0.0254);
  return 1;
}

int load_pcx(Image* img, const char* path, Resolution* res, const uint32_t*) {
  uint8_t header[kPcxHeaderSize];
  if (!read_pcx(header, img, path)) return 0;
  *res = Resolution{75, 75};
  return 1;
}

int load_tiff(Image* img, const char* path, Resolution* res, const uint32_t* background) {
  TiffDescription d{};
  if (!read_tiff(&d, img, path, background)) return 0;
  *res = Resolution{d.x_resolution, d.y_resolution};
  return 1;
}

int load_png(Image* img, const char* path, Resolution* res, const uint32_t* background) {
  float pair[2] = {0, 0};
  if (!read_png(pair, img, path, background)) return 0;
  *res = Resolution{pair[0], pair[1]};
  return 1;
}

// JPEG reports through its own outputs (see load_picture).
int load_jpeg(Image* img, const char* path, Resolution* res, const uint32_t*) {
  return read_jpeg(img, path, &res->x, &res->y);
}

// The first page at 75 dots per inch in 24-bit colour, rendered through a temporary TIFF.
int load_document(Image* img, const char* path, Resolution* res, const uint32_t*) {
  GhostscriptDocument doc;
  if (!document_measure(&doc, path)) return 0;
  // The box is what the document made Ghostscript report: sizes beyond any picture are refused.
  const double width = std::trunc(doc.pages.front().width / 25.4 * 75);
  const double height = std::trunc(doc.pages.front().height / 25.4 * 75);
  if (!(width >= 1 && height >= 1 && width * height <= static_cast<double>(kMaxPicturePixels))) {
    document_free(&doc);
    return fail("the document's first page has no size a picture can have");
  }
  const int ok =
      document_render(&doc, 0, img, static_cast<int32_t>(width), static_cast<int32_t>(height), 0, 4, false);
  document_free(&doc);
  if (!ok) return 0;
  *res = Resolution{75, 75};
  return 1;
}

// The converter writes TMP.BMP into a folder of this process's own, removed again afterwards.
int load_through_converter(Image* img, const char* path, Resolution* res, const uint32_t* background) {
  std::string folder;
  if (!converter_folder(&folder)) return 0;
  const std::string bmp = folder + "TMP.BMP";
  sys::remove_file(bmp.c_str());
  int ok = run_converter("%s %s", sys::quote_argument(files::system_path(path)).c_str(),
                         sys::quote_argument(bmp).c_str());
  if (ok) ok = load_bmp(img, bmp.c_str(), res, background);
  remove_temporary_folder(folder);
  return ok;
}

struct PictureReader {
  const char* extension;  // null: every other extension
  const char* format;     // the format's name, for people
  Reader read;
  bool reports_early;     // the outputs are written whatever the result (JPEG)
};

constexpr PictureReader kReaders[] = {
    {".bmp", "BMP", load_bmp, false},
    {".pcx", "PCX", load_pcx, false},
    {".tif", "TIFF", load_tiff, false},
    {".tiff", "TIFF", load_tiff, false},
    {".png", "PNG", load_png, false},
    {".jpg", "JPEG", load_jpeg, true},
    {".jpeg", "JPEG", load_jpeg, true},
    {".pdf", "PDF", load_document, false},
    {".eps", "EPS", load_document, false},
    {".ps", "PostScript", load_document, false},
    {nullptr, "?", load_through_converter, false},
};

const PictureReader* reader_for(std::string_view extension) {
  const PictureReader* reader = kReaders;
  while (reader->extension && !base::equal_ignoring_case(reader->extension, extension)) ++reader;
  return reader;
}

// The extension that chooses the reader: the forced one, else the file name's (files' rule).
std::string extension_for(const char* path, const char* forced_extension) {
  return forced_extension ? std::string(forced_extension) : files::split_path(path).ext;
}

}  // namespace

const char* picture_format_name(const char* path) { return reader_for(extension_for(path, nullptr))->format; }

int load_picture(Image* img, const char* path, float* x_resolution, float* y_resolution, const uint32_t* background,
                 const char* forced_extension) {
  if (!img || !path) return fail("no image or no path");
  const PictureReader* reader = reader_for(extension_for(path, forced_extension));

  if (reader->reports_early) {
    // Only what the header gave is written; a 0 there, or an output never written, reads 75.
    Resolution res{x_resolution ? *x_resolution : 0, y_resolution ? *y_resolution : 0};
    const int ok = reader->read(img, path, &res, background);
    if (x_resolution) *x_resolution = res.x == 0 ? 75 : res.x;
    if (y_resolution) *y_resolution = res.y == 0 ? 75 : res.y;
    return ok;
  }
  Resolution res{0, 0};
  if (!reader->read(img, path, &res, background)) return 0;
  if (x_resolution) *x_resolution = res.x;
  if (y_resolution) *y_resolution = res.y;
  return 1;
}

}  // namespace lumra::image
