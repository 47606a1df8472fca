// lumra-pic: picture files from the shell through the framework's loader and save calls: describe
// a picture, convert it to BMP, PCX, PNG or JPEG, or show it in the graphics window.
// Exit status 0 success, 1 failure (one line on stderr), 2 usage error.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/base/ascii.h"
#include "framework/base/error.h"
#include "framework/files/path.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/key_queue.h"
#include "framework/image/draw.h"
#include "framework/image/picture_file.h"
#include "platform/platform.h"
#include "platform/sdl2/sdl2.h"

namespace {

using namespace lumra;
using namespace lumra::image;

constexpr const char* kUsage =
    "usage: lumra-pic info FILE\n"
    "       lumra-pic convert IN OUT [--quality N] [--background RRGGBB]\n"
    "       lumra-pic show FILE [--mode 1-6] [--width W] [--height H]\n";

constexpr const char* kHelp =
    "Reads BMP, PCX, TIFF, PNG and JPEG pictures (chosen by the file's extension), PDF, EPS and\n"
    "PostScript documents (first page at 75 dpi, through Ghostscript) and any other format through\n"
    "the imgconv converter; writes BMP, PCX (one bit per pixel only), PNG and JPEG (gray or true\n"
    "colour only), and shows pictures.\n"
    "\n"
    "  info FILE        format, pixel layout, width, height and resolution (dots per inch)\n"
    "  convert IN OUT   loads IN and saves it in the format of OUT's extension (.bmp .pcx .png\n"
    "                   .jpg .jpeg), keeping its resolution\n"
    "      --quality N        JPEG quality 0-100 (default 75)\n"
    "      --background RRGGBB  colour that PNG transparency is flattened onto\n"
    "  show FILE        opens a window at the picture's size (capped to the screen) and draws it;\n"
    "                   any key or the close box ends it\n"
    "      --mode M           colour mode: 1 black and white dither, 2 nearest gray, 3 gray dither,\n"
    "                         4 nearest window colour, 5 colour dither, 6 true colour (default)\n"
    "      --width W, --height H  drawn size; one alone keeps the aspect ratio\n"
    "\n"
    "exit status: 0 success, 1 failure, 2 usage error\n";

constexpr const char* kFormatNames[] = {"Mono1", "Gray4", "Gray8", "Indexed4", "Indexed8", "Rgb32"};

int usage(const char* problem) {
  std::fprintf(stderr, "lumra-pic: %s\n%s", problem, kUsage);
  return 2;
}

int failure(const char* what, const char* path) {
  std::fprintf(stderr, "lumra-pic: %s %s: %s\n", what, path, lumra::base::last_error());
  return 1;
}

// A whole decimal number within [low, high].
bool number(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || end == text || *end || v < low || v > high) return false;
  *out = v;
  return true;
}

int info(const char* path) {
  Image img{};
  float x = 0, y = 0;
  if (!load_picture(&img, path, &x, &y, nullptr, nullptr)) return failure("cannot read", path);
  std::printf("format: %s\npixels: %s\nwidth: %u\nheight: %u\nx resolution: %g\ny resolution: %g\n", picture_format_name(path),
              kFormatNames[img.format], img.width, img.height, static_cast<double>(x), static_cast<double>(y));
  image_free(&img);
  return 0;
}

int convert(const char* in, const char* out, long quality, const uint32_t* background) {
  const std::string e = files::split_path(out).ext;
  const auto is = [&e](const char* extension) { return base::equal_ignoring_case(e, extension); };
  enum { kBmp, kPcx, kPng, kJpeg } target;
  if (is(".bmp")) {
    target = kBmp;
  } else if (is(".pcx")) {
    target = kPcx;
  } else if (is(".png")) {
    target = kPng;
  } else if (is(".jpg") || is(".jpeg")) {
    target = kJpeg;
  } else {
    return usage("OUT must end in .bmp, .pcx, .png, .jpg or .jpeg");
  }
  Image img{};
  float x = 0, y = 0;
  if (!load_picture(&img, in, &x, &y, background, nullptr)) return failure("cannot read", in);
  const auto xr = static_cast<int32_t>(std::lround(x)), yr = static_cast<int32_t>(std::lround(y));
  int ok = 0;
  switch (target) {
    case kBmp: ok = save_bmp(&img, out, xr, yr); break;
    case kPcx: ok = save_pcx(&img, out, xr, yr); break;
    case kPng: ok = save_png(&img, out, xr, yr); break;
    case kJpeg: ok = save_jpeg(&img, out, static_cast<int32_t>(quality), xr, yr); break;
  }
  image_free(&img);
  return ok ? 0 : failure("cannot write", out);
}

// The drawn size: the picture's, or the one asked for (one side following the aspect ratio),
// then shrunk to fit the screen.
void drawn_size(const Image& img, long want_w, long want_h, int32_t* w, int32_t* h) {
  int64_t dw = img.width, dh = img.height;
  if (want_w && want_h) {
    dw = want_w;
    dh = want_h;
  } else if (want_w) {
    dw = want_w;
    dh = std::max<int64_t>(1, int64_t{img.height} * want_w / img.width);
  } else if (want_h) {
    dh = want_h;
    dw = std::max<int64_t>(1, int64_t{img.width} * want_h / img.height);
  }
  platform::Rect screen{};
  if (platform::display_bounds(0, &screen) && screen.w > 1 && screen.h > 1) {
    // One pixel of the logical size is not visible, so the window is one larger than the drawing.
    const int64_t room_w = screen.w - 1, room_h = screen.h - 1;
    if (dw > room_w) {
      dh = std::max<int64_t>(1, dh * room_w / dw);
      dw = room_w;
    }
    if (dh > room_h) {
      dw = std::max<int64_t>(1, dw * room_h / dh);
      dh = room_h;
    }
  }
  *w = static_cast<int32_t>(dw);
  *h = static_cast<int32_t>(dh);
}

int show(const char* path, long mode, long want_w, long want_h) {
  Image img{};
  if (!load_picture(&img, path, nullptr, nullptr, nullptr, nullptr)) return failure("cannot read", path);
  platform::use_backend(platform::sdl2::backend());
  int32_t w = 0, h = 0;
  drawn_size(img, want_w, want_h, &w, &h);
  const std::string title = std::string("lumra-pic ") + path;
  graphics::open_window(title.c_str(), w + 1, h + 1, 0, 0, -1, 1);
  if (graphics::g_graphics.gwin.opened != 0) {
    image_free(&img);
    std::fprintf(stderr, "lumra-pic: cannot open the window: %s\n", lumra::base::last_error());
    return 1;
  }
  const bool natural = w == static_cast<int32_t>(img.width) && h == static_cast<int32_t>(img.height);
  image_draw(&img, 0, 0, static_cast<int32_t>(mode), natural ? 0 : w, natural ? 0 : h);
  graphics::refresh_all();
  std::printf("shown %d x %d in mode %ld\n", w, h, mode);
  std::fflush(stdout);
  graphics::read_input(0);  // a key, or the close box's code
  image_free(&img);
  graphics::graphics_reset();
  platform::shutdown();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::fputs(kUsage, stdout);
    std::fputs("\n", stdout);
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc < 3) return usage("missing arguments");
  const std::string command = argv[1];
  const int positional = command == "convert" ? 2 : 1;
  if (command != "info" && command != "convert" && command != "show") return usage("unknown command");
  if (argc < 2 + positional) return usage("missing arguments");
  long quality = 75, mode = kDrawTrueColour, width = 0, height = 0;
  uint32_t background = 0;
  bool has_background = false;
  for (int i = 2 + positional; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) return usage(("missing value for " + option).c_str());
    const char* value = argv[++i];
    bool ok = false;
    if (command == "convert" && option == "--quality") {
      ok = number(value, 0, 100, &quality);
    } else if (command == "convert" && option == "--background") {
      char* end = nullptr;
      const unsigned long rgb = std::strtoul(value, &end, 16);
      ok = std::strlen(value) == 6 && end && !*end;
      background = colour_value(rgb >> 16 & 255, rgb >> 8 & 255, rgb & 255);
      has_background = ok;
    } else if (command == "show" && option == "--mode") {
      ok = number(value, 1, 6, &mode);
    } else if (command == "show" && option == "--width") {
      ok = number(value, 1, kMaxSide, &width);
    } else if (command == "show" && option == "--height") {
      ok = number(value, 1, kMaxSide, &height);
    } else {
      return usage(("unknown option " + option).c_str());
    }
    if (!ok) return usage(("bad value for " + option + ": " + value).c_str());
  }
  if (command == "info") return info(argv[2]);
  if (command == "convert") return convert(argv[2], argv[3], quality, has_background ? &background : nullptr);
  return show(argv[2], mode, width, height);
}
