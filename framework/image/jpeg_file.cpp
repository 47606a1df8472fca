// JPEG reader and writer over libjpeg. The library reports errors through its error manager's
// exit routine, which jumps back here: each library call that can fail runs in one small function
// holding the setjmp and no C++ object, and the jump becomes false there. Nothing is printed.
#include "framework/image/jpeg_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/image/picture_io_internal.h"
#include "framework/image/picture_limits.h"

namespace lumra::image {
namespace {

using base::fail;

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void on_jpeg_error(j_common_ptr common) {
  char message[JMSG_LENGTH_MAX];
  (*common->err->format_message)(common, message);
  base::failf("JPEG: %s", message);
  std::longjmp(reinterpret_cast<JpegError*>(common->err)->jump, 1);
}

void on_jpeg_message(j_common_ptr) {}

void on_progress(j_common_ptr common) {
  if (!common->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(common)->input_scan_number > g_picture_limits.max_jpeg_scans) {
    fail("JPEG has more scans than the limit");
    std::longjmp(reinterpret_cast<JpegError*>(common->err)->jump, 1);
  }
}

// A Huffman-coded JPEG spends at least one bit on every 8 x 8 block of every component it decodes
// (the DC code), and a block covers at most 32 x 32 pixels (sampling factors up to 4), so a file of
// n bytes can describe at most 8192 n pixels. A header claiming more than its file can fill would
// make us allocate and paint a huge picture from a few hundred bytes: refuse it. Arithmetic coding
// can spend less than a bit per block, so it gets a looser bound.
constexpr int64_t kJpegHuffmanPixelsPerByte = 8 * 32 * 32;
constexpr int64_t kJpegArithmeticPixelsPerByte = 65536;

bool jpeg_size_plausible(const jpeg_decompress_struct& info, int64_t input_size) {
  const int64_t per_byte = info.arith_code ? kJpegArithmeticPixelsPerByte : kJpegHuffmanPixelsPerByte;
  const int64_t pixels = static_cast<int64_t>(info.image_width) * info.image_height;
  return input_size <= 0 || pixels / per_byte <= input_size;
}

void setup_errors(JpegError* error) {
  jpeg_std_error(&error->manager);
  error->manager.error_exit = on_jpeg_error;
  error->manager.output_message = on_jpeg_message;
}

// Everything one read owns; plain data, so it survives the jumps.
struct JpegRead {
  jpeg_decompress_struct info;
  JpegError error;
  jpeg_progress_mgr progress;
  std::FILE* file;
  const uint8_t* data;
  size_t size;
  uint8_t* line;        // a scan line 16 bytes off 32-byte alignment
  uint8_t* line_block;  // its allocation
  bool created;
};

bool read_header(JpegRead* r) {
  if (setjmp(r->error.jump)) return false;
  jpeg_CreateDecompress(&r->info, JPEG_LIB_VERSION, sizeof(r->info));
  r->created = true;
  r->progress.progress_monitor = on_progress;
  r->info.progress = &r->progress;
  if (r->file) {
    jpeg_stdio_src(&r->info, r->file);
  } else {
    jpeg_mem_src(&r->info, r->data, static_cast<unsigned long>(r->size));
  }
  jpeg_read_header(&r->info, TRUE);
  return true;
}

bool start_decompress(JpegRead* r) {
  if (setjmp(r->error.jump)) return false;
  jpeg_start_decompress(&r->info);
  return true;
}

bool read_lines(JpegRead* r, Image* img) {
  if (setjmp(r->error.jump)) return false;
  const size_t stride = static_cast<size_t>(img->stride);
  const JDIMENSION last = r->info.output_height - 1;
  while (r->info.output_scanline < r->info.output_height) {
    const JDIMENSION y = r->info.output_scanline;
    uint8_t* const target = img->pixels + stride * y;
    // A 32-byte-aligned row is decoded 16 bytes further on (its tail spilling into the next
    // row, not yet decoded) and moved back while it is still in the cache; the last row, which
    // has nothing after it, goes through the line buffer.
    const bool aligned = r->line && reinterpret_cast<uintptr_t>(target) % 32 == 0;
    JSAMPROW row = !aligned ? target : y < last ? target + 16 : r->line;
    if (jpeg_read_scanlines(&r->info, &row, 1) != 1) {
      fail("JPEG: no scan line delivered");
      return false;
    }
    if (aligned) std::memmove(target, row, stride);
  }
  return true;
}

bool finish_decompress(JpegRead* r) {
  if (setjmp(r->error.jump)) return false;
  jpeg_finish_decompress(&r->info);
  return true;
}

int read_jpeg_from(JpegRead* r, Image* img, float* x_resolution, float* y_resolution) {
  setup_errors(&r->error);
  r->info.err = &r->error.manager;
  if (!read_header(r)) return 0;
  float x = 0, y = 0;
  if (r->info.density_unit == 1) {
    x = r->info.X_density;
    y = r->info.Y_density;
  } else if (r->info.density_unit == 2) {
    x = static_cast<float>(r->info.X_density * 2.54);
    y = static_cast<float>(r->info.Y_density * 2.54);
  }
  if (x_resolution) *x_resolution = x;
  if (y_resolution) *y_resolution = y;
  if (!picture_size_allowed(r->info.image_width, r->info.image_height)) return 0;
  const int64_t input_size = r->file ? internal::regular_file_size(r->file) : static_cast<int64_t>(r->size);
  if (!jpeg_size_plausible(r->info, input_size)) return fail("JPEG claims more pixels than its data can hold");
  const bool gray = r->info.jpeg_color_space == JCS_GRAYSCALE;
  // libjpeg-turbo's RGBA output is its RGB conversion written four bytes a pixel, the fourth
  // 255 (opaque), straight into the image rows: no line buffer and no second pass. (Its RGBX
  // output leaves that byte undefined, and clearing it afterwards costs a read of the whole
  // picture back from memory.)
  r->info.out_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_RGBA;
  if (!start_decompress(r)) return 0;
  if (r->info.output_components != (gray ? 1 : 4) ||
      !picture_size_allowed(r->info.output_width, r->info.output_height)) {
    return fail("JPEG output layout is not the one asked for");
  }
  if (!gray) {
    // libjpeg-turbo writes 32-byte-aligned output with non-temporal stores, which cost a third
    // more on freshly allocated rows than ordinary ones. Output 16 bytes off that alignment
    // takes the ordinary path: see read_lines. This line is for the last row.
    r->line_block = static_cast<uint8_t*>(base::heap_alloc(static_cast<size_t>(r->info.output_width) * 4 + 64));
    if (!r->line_block) return fail("out of memory for a JPEG line");
    r->line = r->line_block + (48 - reinterpret_cast<uintptr_t>(r->line_block) % 32);
  }
  image_free(img);
  if (!image_allocate(img, gray ? Gray8 : Rgb32, static_cast<int32_t>(r->info.output_width),
                      static_cast<int32_t>(r->info.output_height), 0, nullptr, 0, 0)) {
    return 0;
  }
  if (!read_lines(r, img)) {
    // The image stays, as the reader's rule has it; the rows the decoder never finished are
    // cleared rather than left as whatever the heap held.
    const size_t done = static_cast<size_t>(img->stride) * r->info.output_scanline;
    std::memset(img->pixels + done, 0, static_cast<size_t>(img->stride) * img->height - done);
    return 0;
  }
  return finish_decompress(r) ? 1 : 0;
}

void finish_read(JpegRead* r) {
  if (r->created) jpeg_destroy_decompress(&r->info);
  base::heap_free(r->line_block);
}

// Everything one write owns.
struct JpegWrite {
  jpeg_compress_struct info;
  JpegError error;
  std::FILE* file;
  uint8_t* line;
  bool created;
};

bool write_all(JpegWrite* w, const Image* img, jpeg_destination_mgr* destination, int32_t quality,
               int32_t x_resolution, int32_t y_resolution) {
  if (setjmp(w->error.jump)) return false;
  jpeg_CreateCompress(&w->info, JPEG_LIB_VERSION, sizeof(w->info));
  w->created = true;
  if (destination) {
    w->info.dest = destination;
  } else {
    jpeg_stdio_dest(&w->info, w->file);
  }
  const bool gray = img->format == Gray8;
  w->info.image_width = img->width;
  w->info.image_height = img->height;
  w->info.input_components = gray ? 1 : 3;
  w->info.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&w->info);
  if (x_resolution && y_resolution) {
    w->info.density_unit = 1;
    w->info.X_density = static_cast<UINT16>(x_resolution);
    w->info.Y_density = static_cast<UINT16>(y_resolution);
  }
  jpeg_set_quality(&w->info, quality, FALSE);
  jpeg_start_compress(&w->info, TRUE);
  const size_t stride = static_cast<size_t>(img->stride);
  while (w->info.next_scanline < w->info.image_height) {
    const uint8_t* row = img->pixels + stride * w->info.next_scanline;
    JSAMPROW source = w->line;
    if (gray) {
      source = const_cast<JSAMPROW>(row);  // libjpeg does not write through input rows
    } else {
      for (uint32_t x = 0; x < img->width; ++x) {
        w->line[x * 3] = row[x * 4];
        w->line[x * 3 + 1] = row[x * 4 + 1];
        w->line[x * 3 + 2] = row[x * 4 + 2];
      }
    }
    jpeg_write_scanlines(&w->info, &source, 1);
  }
  jpeg_finish_compress(&w->info);
  return true;
}

}  // namespace

int read_jpeg(Image* img, const char* path, float* x_resolution, float* y_resolution) {
  const base::OwnedFile file = internal::open_for_reading(path);
  if (!file) return 0;
  JpegRead r{};
  r.file = file.get();
  const int ok = read_jpeg_from(&r, img, x_resolution, y_resolution);
  finish_read(&r);
  return ok;
}

int read_jpeg_memory(Image* img, const uint8_t* data, size_t size, float* x_resolution, float* y_resolution) {
  if (!data || size == 0) return fail("JPEG: empty input");
  JpegRead r{};
  r.data = data;
  r.size = size;
  const int ok = read_jpeg_from(&r, img, x_resolution, y_resolution);
  finish_read(&r);
  return ok;
}

int write_jpeg(const Image* img, const char* path, jpeg_destination_mgr* destination, int32_t quality,
               int32_t x_resolution, int32_t y_resolution) {
  if (img->format != Gray8 && img->format != Rgb32) return fail("JPEG is written for Gray8 and Rgb32 images only");
  if (!image_is_valid(img)) return fail("no picture to save");
  if (img->width > JPEG_MAX_DIMENSION || img->height > JPEG_MAX_DIMENSION) return fail("picture too large for JPEG");
  const bool rgb = img->format == Rgb32;
  const base::HeapBlock line(rgb ? base::heap_alloc(static_cast<size_t>(img->width) * 3) : nullptr);
  if (rgb && !line) return fail("out of memory for a JPEG line");
  JpegWrite w{};
  w.line = static_cast<uint8_t*>(line.get());
  internal::OutFile out;
  if (!destination) {
    if (!internal::out_open(&out, path)) return 0;
    w.file = out.file.get();
  }
  setup_errors(&w.error);
  w.info.err = &w.error.manager;
  const bool ok = write_all(&w, img, destination, quality, x_resolution, y_resolution);
  if (w.created) jpeg_destroy_compress(&w.info);
  if (destination) return ok ? 1 : 0;
  return internal::out_finish(&out, ok);
}

int save_jpeg(const Image* img, const char* path, int32_t quality, int32_t x_resolution, int32_t y_resolution) {
  return write_jpeg(img, path, nullptr, quality, x_resolution, y_resolution);
}

}  // namespace lumra::image
