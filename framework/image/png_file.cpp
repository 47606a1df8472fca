// PNG reader and writer over libpng 1.6. libpng reports errors by longjmp: each library call
// that can fail runs inside one small function that holds the setjmp and no C++ object, and
// turns the jump into false right there. Warnings are not reported.
#include "framework/image/png_file.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/image/picture_io_internal.h"
#include "framework/image/picture_limits.h"

namespace lumra::image {
namespace {

using base::fail;

constexpr size_t kIdatPiece = 4096;

// Deflate never expands more than 1032 to 1; an interlaced picture claiming more filtered data
// than its file could inflate to is refused before its rows are cleared (non-interlaced rows are
// only touched as they arrive, so those keep the partial-picture behaviour whatever they claim).
constexpr int64_t kDeflateMaxRatio = 1032;

[[noreturn]] void on_png_error(png_structp png, png_const_charp message) {
  base::failf("PNG: %s", message ? message : "error");
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// Everything one read owns; plain data, so it survives the jumps.
struct PngRead {
  png_structp png;
  png_infop info;
  png_infop end_info;
  std::FILE* file;
  base::ByteCursor memory;
  png_bytepp rows;
  uint32_t rows_done;  // rows completed in the current pass
};

int64_t input_size(const PngRead* r) {
  return r->file ? internal::regular_file_size(r->file) : static_cast<int64_t>(r->memory.left);
}

void read_from_memory(png_structp png, png_bytep out, size_t length) {
  auto* r = static_cast<PngRead*>(png_get_io_ptr(png));
  if (!base::cursor_read(r->memory, out, length)) png_error(png, "data ends early");
}

void row_done(png_structp png, png_uint_32 row, int) {
  static_cast<PngRead*>(png_get_error_ptr(png))->rows_done = row;
}

bool start_reading(PngRead* r) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  if (r->file) {
    png_init_io(r->png, r->file);
  } else {
    png_set_read_fn(r->png, r, read_from_memory);
  }
  png_set_sig_bytes(r->png, 8);
  png_set_user_limits(r->png, kMaxSide, kMaxSide);
  // Image data is read in pieces of this size; a file cut short loses at most one piece of
  // genuine data before the rows it held. libpng's default is 8,192; 1,024 cost 6% in speed.
  png_set_compression_buffer_size(r->png, kIdatPiece);
  png_read_info(r->png, r->info);
  return true;
}

struct Layout {
  int32_t format;
  png_uint_32 width;
  png_uint_32 height;
  int interlace;
  int64_t file_row_bytes;  // a row as stored in the file, before any transformation
};

// Chooses the format and requests the transformations; false for an unsupported colour type.
bool set_transformations(PngRead* r, const uint32_t* background, Layout* out) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_uint_32 width = 0, height = 0;
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(r->png, r->info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
  png_color_16 back{};
  if (background) {
    // Given in 8-bit channels at every depth: the 16-bit samples are stripped after composing,
    // and for that libpng widens the background itself (a value widened here too would overflow).
    const uint32_t red = (*background & 255), green = (*background >> 8 & 255), blue = (*background >> 16 & 255);
    back.red = static_cast<png_uint_16>(red);
    back.green = static_cast<png_uint_16>(green);
    back.blue = static_cast<png_uint_16>(blue);
    back.gray = static_cast<png_uint_16>((30 * red + 59 * green + 11 * blue) / 100);
  }
  int32_t format = -1;
  switch (colour) {
    case PNG_COLOR_TYPE_GRAY:
      switch (depth) {
        case 1: format = Mono1; break;
        case 2:
          format = Gray8;
          // Not png_set_expand: that would also turn a tRNS chunk into an alpha channel.
          png_set_expand_gray_1_2_4_to_8(r->png);
          break;
        case 4: format = Gray4; break;
        case 8: format = Gray8; break;
        case 16:
          format = Gray8;
          png_set_strip_16(r->png);
          break;
        default: break;
      }
      break;
    case PNG_COLOR_TYPE_RGB:
      format = Rgb32;
      if (depth == 16) png_set_strip_16(r->png);
      png_set_filler(r->png, 0, PNG_FILLER_AFTER);
      break;
    case PNG_COLOR_TYPE_PALETTE:
      format = depth == 4 ? Indexed4 : Indexed8;
      if (depth < 4) png_set_packing(r->png);
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      format = Gray8;
      if (background) {
        png_set_background(r->png, &back, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
      } else {
        png_set_strip_alpha(r->png);
      }
      if (depth == 16) png_set_strip_16(r->png);
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      format = Rgb32;
      if (depth == 16) png_set_strip_16(r->png);
      if (background) png_set_background(r->png, &back, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
      png_set_filler(r->png, 0, PNG_FILLER_AFTER);
      break;
    default: break;
  }
  if (format < 0) {
    fail("PNG colour type or bit depth not supported");
    return false;
  }
  const int channels = colour == PNG_COLOR_TYPE_RGB ? 3 : colour == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : colour == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  const int64_t file_row_bytes = (static_cast<int64_t>(width) * depth * channels + 7) / 8;
  png_set_interlace_handling(r->png);
  png_read_update_info(r->png, r->info);
  *out = Layout{format, width, height, interlace, file_row_bytes};
  return true;
}

bool make_row_pointers(PngRead* r, png_uint_32 height) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  r->rows = static_cast<png_bytepp>(png_malloc(r->png, sizeof(png_bytep) * height));
  return true;
}

bool read_rows(PngRead* r) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_read_image(r->png, r->rows);
  return true;
}

int read_png_from(PngRead* r, float resolution[2], Image* img, const uint32_t* background) {
  // The error pointer carries the read's record to the row callback (the io pointer may be the file).
  r->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, r, on_png_error, on_png_warning);
  if (!r->png) return fail("PNG: out of memory");
  r->info = png_create_info_struct(r->png);
  r->end_info = png_create_info_struct(r->png);
  if (!r->info || !r->end_info) return fail("PNG: out of memory");
  if (!start_reading(r)) return 0;

  png_uint_32 res_x = 0, res_y = 0;
  int unit = 0;
  if (png_get_pHYs(r->png, r->info, &res_x, &res_y, &unit)) {
    resolution[0] = static_cast<float>(std::floor(res_x * 25.4 * 0.001 + 0.5));
    resolution[1] = static_cast<float>(std::floor(res_y * 25.4 * 0.001 + 0.5));
  } else {
    resolution[0] = resolution[1] = 0;
  }

  Layout layout{};
  if (!set_transformations(r, background, &layout)) return 0;
  if (!picture_size_allowed(layout.width, layout.height)) return 0;
  if (layout.interlace != PNG_INTERLACE_NONE) {
    const int64_t size = input_size(r);
    if (size > 0 && layout.file_row_bytes * layout.height / kDeflateMaxRatio > size) {
      return fail("PNG claims more pixels than its data can hold");
    }
  }
  const int64_t stride = image_stride(layout.format, layout.width);
  if (static_cast<int64_t>(png_get_rowbytes(r->png, r->info)) != stride) return fail("PNG row layout does not match the format");

  png_colorp plte = nullptr;
  int plte_count = 0;
  uint32_t palette[256];
  int32_t palette_count = 0;
  if (png_get_color_type(r->png, r->info) == PNG_COLOR_TYPE_PALETTE &&
      png_get_PLTE(r->png, r->info, &plte, &plte_count) && plte) {
    palette_count = plte_count < 256 ? plte_count : 256;
    for (int32_t i = 0; i < palette_count; ++i) palette[i] = colour_value(plte[i].red, plte[i].green, plte[i].blue);
  }
  image_free(img);
  if (!image_allocate(img, layout.format, static_cast<int32_t>(layout.width), static_cast<int32_t>(layout.height),
                      palette_count, palette_count ? palette : nullptr, 0, 0)) {
    return 0;
  }
  // Passes fill rows piecewise: rows a broken file never reaches must not show stale memory.
  if (layout.interlace != PNG_INTERLACE_NONE) std::memset(img->pixels, 0, static_cast<size_t>(stride) * layout.height);
  if (!make_row_pointers(r, layout.height)) {
    image_free(img);
    return 0;
  }
  for (png_uint_32 y = 0; y < layout.height; ++y) r->rows[y] = img->pixels + static_cast<size_t>(stride) * y;
  png_set_read_status_fn(r->png, row_done);
  if (!read_rows(r)) {
    if (r->rows_done == 0) {
      image_free(img);
      return 0;
    }
    img->height = r->rows_done;
  }
  return 1;
}

void finish_read(PngRead* r) {
  if (r->rows) png_free(r->png, r->rows);
  if (r->png) png_destroy_read_struct(&r->png, r->info ? &r->info : nullptr, r->end_info ? &r->end_info : nullptr);
}

// Everything one write owns.
struct PngWrite {
  png_structp png;
  png_infop info;
  std::FILE* file;
  png_colorp palette;
  png_bytepp rows;
};

// The highest palette index the pixels of an Indexed4 or Indexed8 image use.
int highest_index(const Image* img) {
  int highest = 0;
  const size_t row_bytes = img->format == Indexed4 ? (img->width + 1) / 2 : img->width;
  for (uint32_t y = 0; y < img->height; ++y) {
    const uint8_t* row = img->pixels + static_cast<size_t>(img->stride) * y;
    for (size_t i = 0; i < row_bytes; ++i) {
      int v = row[i];
      // The low nibble of a last byte past an odd width is no pixel.
      if (img->format == Indexed4) v = (2 * i + 1 < img->width) ? std::max(v >> 4, v & 15) : v >> 4;
      highest = std::max(highest, v);
    }
  }
  return highest;
}

// The transparent colour of mode 2 (the top-left pixel) in the form PNG has for the colour type.
void set_transparency(PngWrite* w, const Image* img, int colour_type) {
  uint32_t v = 0;
  image_get_pixel(img, 0, 0, &v);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) {
    png_byte alpha[256];
    const uint32_t index = v & 255;
    for (uint32_t i = 0; i <= index; ++i) alpha[i] = i == index ? 0 : 255;
    png_set_tRNS(w->png, w->info, alpha, static_cast<int>(index + 1), nullptr);
    png_color_16 back{};
    back.index = static_cast<png_byte>(index);
    png_set_bKGD(w->png, w->info, &back);
    return;
  }
  png_color_16 c{};
  if (colour_type == PNG_COLOR_TYPE_GRAY) {
    c.gray = static_cast<png_uint_16>(v);
  } else {
    c.red = static_cast<png_uint_16>(v & 255);
    c.green = static_cast<png_uint_16>(v >> 8 & 255);
    c.blue = static_cast<png_uint_16>(v >> 16 & 255);
  }
  png_set_tRNS(w->png, w->info, nullptr, 0, &c);
  png_set_bKGD(w->png, w->info, &c);
}

bool write_all(PngWrite* w, const Image* img, PngWriteFn callback, void* context, int32_t x_resolution,
               int32_t y_resolution) {
  if (setjmp(png_jmpbuf(w->png))) return false;
  if (callback) {
    png_set_write_fn(w->png, context, callback, nullptr);
  } else {
    png_init_io(w->png, w->file);
  }
  w->info = png_create_info_struct(w->png);
  if (!w->info) png_error(w->png, "out of memory");
  int depth = 8, colour_type = PNG_COLOR_TYPE_GRAY, transforms = PNG_TRANSFORM_IDENTITY;
  switch (img->format) {
    case Mono1: depth = 1; break;
    case Gray4: depth = 4; break;
    case Gray8: break;
    case Indexed4: depth = 4; colour_type = PNG_COLOR_TYPE_PALETTE; break;
    case Indexed8: colour_type = PNG_COLOR_TYPE_PALETTE; break;
    default:
      colour_type = PNG_COLOR_TYPE_RGB;
      transforms = PNG_TRANSFORM_STRIP_FILLER_AFTER;
      break;
  }
  png_set_IHDR(w->png, w->info, img->width, img->height, depth, colour_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (x_resolution && y_resolution) {
    png_set_pHYs(w->png, w->info, static_cast<png_uint_32>(std::floor(x_resolution * 1000 * (1 / 25.4) + 0.5)),
                 static_cast<png_uint_32>(std::floor(y_resolution * 1000 * (1 / 25.4) + 0.5)), PNG_RESOLUTION_METER);
  }
  if (colour_type == PNG_COLOR_TYPE_PALETTE) {
    const int most = 1 << depth;
    const bool own = img->palette && img->paletteCount > 0;
    const int own_count = own ? (img->paletteCount < most ? img->paletteCount : most) : 0;
    // A PNG palette must cover every index the pixels use: entries past the image's own are black.
    const int count = own ? std::max(own_count, highest_index(img) + 1) : most;
    w->palette = static_cast<png_colorp>(png_malloc(w->png, sizeof(png_color) * static_cast<size_t>(count)));
    for (int i = 0; i < count; ++i) {
      const uint32_t c = !own ? internal::window_palette_colour(i) : i < own_count ? img->palette[i] : 0;
      w->palette[i] = png_color{static_cast<png_byte>(c), static_cast<png_byte>(c >> 8), static_cast<png_byte>(c >> 16)};
    }
    png_set_PLTE(w->png, w->info, w->palette, count);
  }
  if (transparency_mode(img) == 2) set_transparency(w, img, colour_type);
  w->rows = static_cast<png_bytepp>(png_malloc(w->png, sizeof(png_bytep) * img->height));
  for (uint32_t y = 0; y < img->height; ++y) w->rows[y] = img->pixels + static_cast<size_t>(img->stride) * y;
  png_set_rows(w->png, w->info, w->rows);
  png_write_png(w->png, w->info, transforms, nullptr);
  return true;
}

}  // namespace

int read_png(float resolution[2], Image* img, const char* path, const uint32_t* background) {
  const base::OwnedFile file = internal::open_for_reading(path);
  if (!file) return 0;
  uint8_t signature[8];
  if (std::fread(signature, 1, 8, file.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0) return fail("not a PNG file");
  PngRead r{};
  r.file = file.get();
  const int ok = read_png_from(&r, resolution, img, background);
  finish_read(&r);
  return ok;
}

int read_png_memory(float resolution[2], Image* img, const uint8_t* data, size_t size, const uint32_t* background) {
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return fail("not a PNG file");
  PngRead r{};
  r.memory = base::make_cursor(data + 8, size - 8);
  const int ok = read_png_from(&r, resolution, img, background);
  finish_read(&r);
  return ok;
}

int write_png(const Image* img, const char* path, PngWriteFn callback, void* context, int32_t x_resolution,
              int32_t y_resolution) {
  if (!image_is_valid(img) || img->format >= kFormatCount) return fail("no picture to save");
  PngWrite w{};
  internal::OutFile out;
  if (!callback) {
    if (!internal::out_open(&out, path)) return 0;
    w.file = out.file.get();
  }
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
  const bool ok = w.png && write_all(&w, img, callback, context, x_resolution, y_resolution);
  if (!w.png) fail("PNG: out of memory");
  if (w.png) {
    png_free(w.png, w.rows);
    png_free(w.png, w.palette);
    png_destroy_write_struct(&w.png, w.info ? &w.info : nullptr);
  }
  if (callback) return ok ? 1 : 0;
  return internal::out_finish(&out, ok);
}

int save_png(const Image* img, const char* path, int32_t x_resolution, int32_t y_resolution) {
  return write_png(img, path, nullptr, nullptr, x_resolution, y_resolution);
}

}  // namespace lumra::image
