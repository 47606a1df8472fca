// Serialised image reader and writer. Before allocating, the reader works out the fewest stream
// bytes the claimed pixels need in their storage mode and refuses a stream that holds fewer; every
// read then goes through the stream's bounded calls.
#include "framework/image/image_stream.h"

#include <algorithm>
#include <cstring>

#include "framework/base/archive_block.h"
#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/record_table.h"
#include "framework/base/rle.h"

namespace lumra::image {
namespace {

using base::fail;
using base::failf;

int64_t ceil_div(int64_t a, int64_t b) { return (a + b - 1) / b; }

// The smallest block (header and data) that can unpack to `unpacked` bytes.
int64_t smallest_block(int64_t unpacked) {
  return static_cast<int64_t>(base::kBlockHeaderSize) + ceil_div(unpacked, kMaxBlockExpansion);
}

// The record count of the record-table stream at the position, which is left where it was; -1
// when the stream does not hold a readable table header (the table load then fails by itself).
int64_t peek_table_count(base::MemStream* s) {
  const int32_t at = base::stream_tell(s);
  uint8_t head[12];
  int64_t count = -1;
  if (base::stream_read(s, head, 4)) {
    const uint32_t first = base::load_u32le(head);
    if ((first & 0xFFFF) != base::kTableStreamMarker) {
      count = first;
    } else if (base::stream_read(s, head + 4, 4)) {
      count = static_cast<int32_t>(base::load_u32le(head + 4));
    }
  }
  base::stream_seek(s, at, 0);
  return count;
}

int read_table_rows(Image* img, base::MemStream* s, int64_t total) {
  base::RecordTable t{};
  if (!base::table_setup(&t, static_cast<uint32_t>(img->stride), nullptr)) return fail("cannot set up the row table");
  if (!base::table_load(&t, s)) {
    base::table_release(&t);
    return fail("row table cannot be loaded");
  }
  const int64_t have = std::min<int64_t>(static_cast<int64_t>(t.count) * t.record_size, total);
  if (have > 0) std::memcpy(img->pixels, t.data, static_cast<size_t>(have));
  if (have < total) std::memset(img->pixels + have, 0, static_cast<size_t>(total - have));
  base::table_release(&t);
  return 1;
}

int read_block_rows(Image* img, base::MemStream* s, int64_t rows_per_block) {
  const int64_t height = img->height, stride = img->stride;
  for (int64_t row = 0; row < height;) {
    const int64_t capacity = std::min(rows_per_block, height - row) * stride;
    uint32_t got = 0;
    if (!base::stream_read_block(s, img->pixels + row * stride, static_cast<uint32_t>(capacity), &got)) {
      return failf("row %lld: %s", static_cast<long long>(row), base::last_error());
    }
    if (got % stride != 0) return failf("block at row %lld does not hold whole rows", static_cast<long long>(row));
    row += got / stride;
  }
  return 1;
}

}  // namespace

void image_header_store(const Image* img, uint8_t out[kHeaderSize]) {
  out[0] = img->format;
  out[1] = img->flags;
  std::memcpy(out + 2, img->reserved, 4);
  base::store_u32le(out + 6, img->width);
  base::store_u32le(out + 10, img->height);
  base::store_u16le(out + 14, static_cast<uint16_t>(img->paletteCount));
}

void image_header_load(const uint8_t in[kHeaderSize], Image* img) {
  img->format = in[0];
  img->flags = in[1];
  std::memcpy(img->reserved, in + 2, 4);
  img->width = base::load_u32le(in + 6);
  img->height = base::load_u32le(in + 10);
  img->paletteCount = static_cast<int16_t>(base::load_u16le(in + 14));
}

int64_t band_rows_per_block(int64_t height, int64_t stride) { return height / (height * stride / 65536 + 1); }

int image_load_stream(Image* img, base::MemStream* s) {
  image_free(img);
  image_create(img);
  uint8_t head[kHeaderSize];
  if (!base::stream_read(s, head, kHeaderSize)) return fail("stream ends inside the image header");
  const uint8_t format = head[0];
  const uint32_t width = base::load_u32le(head + 6);
  const uint32_t height = base::load_u32le(head + 10);
  const auto palette_count = static_cast<int16_t>(base::load_u16le(head + 14));
  if (format >= kFormatCount) return failf("unknown pixel format %u", format);
  if (width > kMaxStreamSide || height > kMaxStreamSide) return failf("image of %u x %u pixels", width, height);
  if (palette_count < 0 || palette_count > kMaxStreamPalette) return failf("palette of %d entries", palette_count);
  if (width == 0) {
    image_header_load(head, img);
    return 1;
  }

  uint8_t raw_palette[kMaxStreamPalette * 4];
  uint32_t palette[kMaxStreamPalette];
  if (!base::stream_read(s, raw_palette, palette_count * 4)) return fail("stream ends inside the palette");
  for (int32_t i = 0; i < palette_count; ++i) palette[i] = base::load_u32le(raw_palette + i * 4);

  Image probe{};
  probe.flags = head[1];
  const int32_t storage = storage_mode(&probe);
  const int32_t transparency = transparency_mode(&probe);
  if (width > static_cast<uint32_t>(kMaxSide) || height > static_cast<uint32_t>(kMaxSide)) {
    return failf("image of %u x %u pixels cannot be allocated", width, height);
  }
  const int64_t stride = image_stride(format, width);
  const int64_t total = stride * height;
  const int64_t left = base::stream_remaining(s);
  int64_t rows_per_block = 0;
  bool raw = false;
  switch (storage) {
    case kStorageRaw: {
      uint8_t marker[2];
      if (!base::stream_read(s, marker, 2)) return fail("stream ends before the pixels");
      raw = base::load_u16le(marker) == kRawMarker;
      if (raw) {
        if (total > left - 2) return fail("stream ends inside the pixels");
        break;
      }
      base::stream_seek(s, -2, 1);
      const int64_t rows = std::max<int64_t>(peek_table_count(s), 0);
      if (std::max(total, rows * stride) > left * kMaxBlockExpansion) return fail("row table larger than its stream");
      break;
    }
    case kStorageRowBlocks:
      if (stride > kMaxBlockBytes) return fail("a row is longer than a block can hold");
      rows_per_block = 1;
      if (static_cast<int64_t>(height) * smallest_block(stride) > left) return fail("stream too short for its rows");
      break;
    case kStorageBandBlocks: {
      rows_per_block = band_rows_per_block(height, stride);
      if (rows_per_block == 0) return fail("a row is longer than a block can hold");
      const int64_t full = height / rows_per_block, rest = height % rows_per_block;
      const int64_t need = full * smallest_block(rows_per_block * stride) + (rest ? smallest_block(rest * stride) : 0);
      if (need > left) return fail("stream too short for its rows");
      break;
    }
    default: return failf("unknown storage mode %d", storage);
  }

  if (!image_allocate(img, format, static_cast<int32_t>(width), static_cast<int32_t>(height), palette_count, palette,
                      transparency, storage)) {
    return 0;
  }
  int ok = 0;
  if (storage != kStorageRaw) {
    ok = read_block_rows(img, s, rows_per_block);
  } else if (raw) {
    ok = base::stream_read(s, img->pixels, static_cast<int32_t>(total)) ? 1 : fail("stream ends inside the pixels");
  } else {
    ok = read_table_rows(img, s, total);
  }
  if (!ok) image_free(img);
  return ok;
}

namespace {

int write_block(base::MemStream* s, const uint8_t* data, int64_t n) {
  if (n <= 0 || n > kMaxBlockBytes) return fail("block size outside 1..65535");
  const size_t size = static_cast<size_t>(n);
  auto* coded = static_cast<uint8_t*>(base::heap_alloc(size));
  if (!coded) return fail("out of memory for a block");
  size_t length = 0;
  const bool packed = size > 1 && base::rle_encode(data, size, coded, size - 1, &length);
  uint8_t head[base::kBlockHeaderSize];
  base::store_u16le(head, packed ? base::kBlockRunLength : base::kBlockStored);
  base::store_u16le(head + 2, static_cast<uint16_t>(n));
  base::store_u16le(head + 4, static_cast<uint16_t>(packed ? length : size));
  const int ok = base::stream_write(s, head, sizeof head) &&
                 base::stream_write(s, packed ? coded : data, static_cast<int32_t>(packed ? length : size));
  base::heap_free(coded);
  return ok ? 1 : fail("cannot write the stream");
}

}  // namespace

int image_save_stream(const Image* img, base::MemStream* s, int32_t storage) {
  if (storage != kStorageRaw && storage != kStorageRowBlocks && storage != kStorageBandBlocks) {
    return failf("unknown storage mode %d", storage);
  }
  if (img->paletteCount < 0 || img->paletteCount > kMaxStreamPalette) return fail("palette too large to store");
  if (img->paletteCount > 0 && !img->palette) return fail("palette count without a palette");
  uint8_t head[kHeaderSize];
  image_header_store(img, head);
  head[1] = static_cast<uint8_t>((head[1] & ~3) | (storage & 3));
  if (!base::stream_write(s, head, kHeaderSize)) return fail("cannot write the stream");
  if (img->width == 0) return 1;
  for (int32_t i = 0; i < img->paletteCount; ++i) {
    uint8_t entry[4];
    base::store_u32le(entry, img->palette[i]);
    if (!base::stream_write(s, entry, 4)) return fail("cannot write the stream");
  }
  const int64_t stride = img->stride, height = img->height, total = stride * height;
  if (total > 0 && !img->pixels) return fail("image without pixels");
  if (storage == kStorageRaw) {
    uint8_t marker[2];
    base::store_u16le(marker, kRawMarker);
    if (total > INT32_MAX || !base::stream_write(s, marker, 2) ||
        !base::stream_write(s, img->pixels, static_cast<int32_t>(total))) {
      return fail("cannot write the stream");
    }
    return 1;
  }
  const int64_t per_block = storage == kStorageRowBlocks ? 1 : band_rows_per_block(height, stride);
  if (height > 0 && (per_block == 0 || per_block * stride > kMaxBlockBytes)) return fail("a row is longer than a block can hold");
  for (int64_t row = 0; row < height; row += per_block) {
    const int64_t rows = std::min(per_block, height - row);
    if (!write_block(s, img->pixels + row * stride, rows * stride)) return 0;
  }
  return 1;
}

}  // namespace lumra::image
