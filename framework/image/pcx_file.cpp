// PCX reader and writer. The run-length stream is decoded as one stream cut into plane lines of
// bytes-per-line each, so runs crossing a line end carry on into the next line; only the first
// stride bytes of a line reach the image, and a line shorter than the row leaves the rest 0.
#include "framework/image/pcx_file.h"

#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/image/picture_io_internal.h"
#include "framework/image/picture_limits.h"

namespace lumra::image {
namespace {

using base::fail;
using base::load_u16le;

constexpr uint8_t kManufacturer = 10;
constexpr int kMaxRun = 63;

// The run-length stream: a pending run continues across calls.
struct RunReader {
  base::ByteCursor in;
  uint8_t value;
  uint32_t pending;  // bytes of the current run not yet delivered
};

// Fills `line` (n bytes); only the first `keep` go to `out`. False when the data ends first.
bool decode_line(RunReader* rr, uint8_t* out, size_t keep, size_t n) {
  size_t at = 0;
  while (at < n) {
    if (!rr->pending) {
      uint8_t b = 0;
      if (!base::cursor_u8(rr->in, &b)) return false;
      if (b >= 0xC0) {
        if (!base::cursor_u8(rr->in, &rr->value)) return false;
        rr->pending = b & 0x3F;
        continue;
      }
      rr->value = b;
      rr->pending = 1;
    }
    size_t take = rr->pending;
    if (take > n - at) take = n - at;
    if (at < keep) std::memset(out + at, rr->value, (take < keep - at ? take : keep - at));
    at += take;
    rr->pending -= static_cast<uint32_t>(take);
  }
  return true;
}

}  // namespace

int read_pcx_memory(uint8_t header[kPcxHeaderSize], Image* img, const uint8_t* data, size_t size) {
  std::memset(header, 0, kPcxHeaderSize);
  if (size < 1 || data[0] != kManufacturer) return fail("not a PCX file (manufacturer byte is not 10)");
  std::memcpy(header, data, size < kPcxHeaderSize ? size : kPcxHeaderSize);
  if (size < kPcxHeaderSize) return fail("PCX header cut short");
  const uint8_t bits = data[3];
  const int32_t width = static_cast<int32_t>(load_u16le(data + 8)) - load_u16le(data + 4) + 1;
  const int32_t height = static_cast<int32_t>(load_u16le(data + 10)) - load_u16le(data + 6) + 1;
  const uint8_t planes = data[65];
  const uint32_t bytes_per_line = load_u16le(data + 66);
  if (planes != 1 && planes != 4) return fail("PCX with other than 1 or 4 planes");
  // Read as one bit per pixel, an 8-bit picture would load as noise and report success.
  if (bits != 1) return fail("PCX with more than one bit per pixel and plane is not supported");
  if (!picture_size_allowed(width, height)) return 0;
  const uint64_t line_bytes = (static_cast<uint64_t>(width) + 7) / 8;
  // Lines shorter than the row fill its start, the rest stays 0; a line of no bytes holds nothing.
  if (bytes_per_line == 0) return fail("PCX with 0 bytes per line holds no pixels");
  // Two coded bytes give at most 63 bytes, so the data must be long enough for every line.
  const uint64_t coded = size - kPcxHeaderSize;
  const uint64_t most = (coded / 2) * kMaxRun + (coded & 1);
  if (most < uint64_t{bytes_per_line} * planes * static_cast<uint64_t>(height)) {
    return fail("PCX data too short for the picture");
  }

  uint32_t palette[16];
  for (int i = 0; i < 16; ++i) palette[i] = colour_value(data[16 + i * 3], data[17 + i * 3], data[18 + i * 3]);
  image_free(img);
  if (!image_allocate(img, planes == 1 ? Mono1 : Indexed4, width, height, planes == 1 ? 0 : 16,
                      planes == 1 ? nullptr : palette, 0, 0)) {
    return 0;
  }
  RunReader rr{base::make_cursor(data + kPcxHeaderSize, size - kPcxHeaderSize), 0, 0};
  const auto stride = static_cast<size_t>(img->stride);
  bool complete = true;
  if (planes == 1) {
    for (int32_t r = 0; r < height && complete; ++r) {
      uint8_t* row = img->pixels + stride * static_cast<size_t>(r);
      std::memset(row, 0, stride);
      complete = decode_line(&rr, row, stride, bytes_per_line);
    }
  } else {
    const base::HeapBlock line_block(base::heap_alloc(line_bytes * 4));
    auto* lines = static_cast<uint8_t*>(line_block.get());
    if (!lines) {
      image_free(img);
      return fail("out of memory for the PCX plane lines");
    }
    for (int32_t r = 0; r < height && complete; ++r) {
      for (int p = 0; p < 4 && complete; ++p) {
        uint8_t* line = lines + line_bytes * static_cast<size_t>(p);
        std::memset(line, 0, line_bytes);
        complete = decode_line(&rr, line, line_bytes, bytes_per_line);
      }
      uint8_t* row = img->pixels + stride * static_cast<size_t>(r);
      std::memset(row, 0, stride);
      for (int32_t x = 0; x < width && complete; ++x) {
        const int shift = 7 - (x & 7);
        uint32_t index = 0;
        for (int p = 0; p < 4; ++p) index |= ((lines[line_bytes * static_cast<size_t>(p) + (x >> 3)] >> shift) & 1u) << p;
        row[x >> 1] = static_cast<uint8_t>(row[x >> 1] | (x & 1 ? index : index << 4));
      }
    }
  }
  if (!complete) {
    image_free(img);
    return fail("PCX data ends before the last row");
  }
  return 1;
}

int read_pcx(uint8_t header[kPcxHeaderSize], Image* img, const char* path) {
  std::memset(header, 0, kPcxHeaderSize);
  return internal::parse_file(path, [&](const uint8_t* data, size_t size) { return read_pcx_memory(header, img, data, size); });
}

size_t pcx_encode_row(const uint8_t* row, size_t n, uint8_t* out) {
  size_t o = 0;
  for (size_t i = 0; i < n;) {
    size_t run = 1;
    while (i + run < n && run < kMaxRun && row[i + run] == row[i]) ++run;
    if (run > 1) {
      out[o++] = static_cast<uint8_t>(0xC0 | run);
      out[o++] = row[i];
    } else if (row[i] >= 0xC0) {
      out[o++] = 0xC1;
      out[o++] = row[i];
    } else {
      out[o++] = row[i];
    }
    i += run;
  }
  return o;
}

int save_pcx(const Image* img, const char* path, int32_t horizontal_resolution, int32_t vertical_resolution) {
  if (img->format != Mono1) return fail("PCX is written for Mono1 images only");
  if (!image_is_valid(img)) return fail("no picture to save");
  if (img->width > 65536 || img->height > 65536 || img->stride > 0xFFFF) return fail("picture too large for PCX");
  uint8_t h[kPcxHeaderSize] = {};
  h[0] = kManufacturer;
  h[1] = 0;
  h[2] = 1;
  h[3] = 1;
  base::store_u16le(h + 8, static_cast<uint16_t>(img->width - 1));
  base::store_u16le(h + 10, static_cast<uint16_t>(img->height - 1));
  base::store_u16le(h + 12, static_cast<uint16_t>(horizontal_resolution));
  base::store_u16le(h + 14, static_cast<uint16_t>(vertical_resolution));
  h[65] = 1;
  base::store_u16le(h + 66, static_cast<uint16_t>(img->stride));

  const auto stride = static_cast<size_t>(img->stride);
  const base::HeapBlock work(base::heap_alloc(stride * 3));
  if (!work) return fail("out of memory for the PCX row");
  internal::OutFile out;
  if (!internal::out_open(&out, path)) return 0;
  out_write(&out, h, sizeof h);
  uint8_t* row = static_cast<uint8_t*>(work.get());
  uint8_t* coded = row + stride;
  const uint32_t spare = static_cast<uint32_t>(stride * 8 - img->width);
  for (uint32_t r = 0; r < img->height && out.ok; ++r) {
    std::memcpy(row, img->pixels + stride * r, stride);
    // Bits past the width copy the byte before when the pixels agree, so its run goes on.
    if (spare && stride > 1) {
      const auto inside = static_cast<uint8_t>(0xFF << spare);
      if ((row[stride - 1] & inside) == (row[stride - 2] & inside)) row[stride - 1] = row[stride - 2];
    }
    out_write(&out, coded, pcx_encode_row(row, stride, coded));
  }
  return out_finish(&out);
}

}  // namespace lumra::image
