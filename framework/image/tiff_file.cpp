// TIFF reader, in three steps: the header and first directory (entries checked against one table
// of {tag, types, count}), the format and palette, and the strips (planned and checked against the
// file before anything is allocated, then decoded one at a time). Every offset the file gives is
// checked against its size before use; compressed strips go through the foundation's LZW and
// run-length decoders into one strip buffer, bounded by its capacity.
#include "framework/image/tiff_file.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/lzw.h"
#include "framework/base/rle.h"
#include "framework/image/picture_io_internal.h"
#include "framework/image/picture_limits.h"

namespace lumra::image {
namespace {

using base::fail;

enum FieldType : uint16_t { kByte = 1, kShort = 3, kLong = 4, kRational = 5 };
constexpr uint32_t type_bit(uint16_t type) { return 1u << type; }
constexpr uint32_t kIntegers = type_bit(kByte) | type_bit(kShort) | type_bit(kLong);

enum Field {
  kWidth, kHeight, kBits, kCompression, kPhotometric, kStripOffsets, kSamples, kRowsPerStrip,
  kStripByteCounts, kXResolution, kYResolution, kPlanar, kUnit, kPredictor, kColourMap, kFieldCount
};

struct TagRule {
  uint16_t tag;
  Field field;
  uint32_t types;      // allowed types; an entry of another type counts as absent (value 0)
  uint32_t min_count;
};

constexpr TagRule kTags[] = {
    {256, kWidth, type_bit(kShort) | type_bit(kLong), 1},
    {257, kHeight, type_bit(kShort) | type_bit(kLong), 1},
    {258, kBits, kIntegers, 1},
    {259, kCompression, kIntegers, 1},
    {262, kPhotometric, kIntegers, 1},
    {273, kStripOffsets, type_bit(kShort) | type_bit(kLong), 1},
    {277, kSamples, kIntegers, 1},
    {278, kRowsPerStrip, type_bit(kShort) | type_bit(kLong), 1},
    {279, kStripByteCounts, type_bit(kShort) | type_bit(kLong), 1},
    {282, kXResolution, type_bit(kRational), 1},
    {283, kYResolution, type_bit(kRational), 1},
    {284, kPlanar, kIntegers, 1},
    {296, kUnit, kIntegers, 1},
    {317, kPredictor, kIntegers, 1},
    {320, kColourMap, type_bit(kShort), 3},
};

constexpr uint32_t kNone = 1, kLzw = 5, kPackBits = 32773;

struct Entry {
  bool present;
  uint16_t type;
  uint32_t count;
  const uint8_t* value_field;  // the 4-byte field inside the directory
};

struct Tiff {
  const uint8_t* data;
  size_t size;
  bool big_endian;
  Entry fields[kFieldCount];
};

uint16_t u16(const Tiff& t, const uint8_t* p) { return t.big_endian ? base::load_u16be(p) : base::load_u16le(p); }
uint32_t u32(const Tiff& t, const uint8_t* p) { return t.big_endian ? base::load_u32be(p) : base::load_u32le(p); }

uint32_t type_size(uint16_t type) { return type == kByte ? 1 : type == kShort ? 2 : 4; }

// Element `index` of an integer array entry, from the value field when it fits there and from
// the offset otherwise; false when it lies outside the file.
bool element(const Tiff& t, const Entry& e, uint32_t index, uint32_t* out) {
  const uint32_t size = type_size(e.type);
  const uint8_t* at = nullptr;
  if (uint64_t{e.count} * size <= 4) {
    at = e.value_field + uint64_t{index} * size;
  } else {
    const uint64_t offset = uint64_t{u32(t, e.value_field)} + uint64_t{index} * size;
    if (offset + size > t.size) return false;
    at = t.data + offset;
  }
  *out = e.type == kByte ? *at : e.type == kShort ? u16(t, at) : u32(t, at);
  return true;
}

// An integer field's first value, or `absent` when the field is missing or unreadable.
uint32_t integer(const Tiff& t, Field f, uint32_t absent) {
  const Entry& e = t.fields[f];
  uint32_t v = 0;
  if (!e.present || !element(t, e, 0, &v)) return absent;
  return v;
}

// A rational field as numerator / denominator; 0 when missing, unreadable or over zero.
double rational(const Tiff& t, Field f) {
  const Entry& e = t.fields[f];
  if (!e.present) return 0;
  const uint64_t offset = u32(t, e.value_field);
  if (offset + 8 > t.size) return 0;
  const uint32_t num = u32(t, t.data + offset), den = u32(t, t.data + offset + 4);
  return den ? static_cast<double>(num) / den : 0;
}

// Undoes the horizontal predictor on rows of 8-bit samples.
void unpredict(uint8_t* rows, size_t row_count, size_t row_bytes, size_t samples) {
  for (size_t r = 0; r < row_count; ++r) {
    uint8_t* p = rows + r * row_bytes;
    for (size_t i = samples; i < row_bytes; ++i) p[i] = static_cast<uint8_t>(p[i] + p[i - samples]);
  }
}

void copy_row(uint8_t* dst, const uint8_t* src, int32_t format, uint32_t width, size_t stride) {
  if (format != Rgb32) {
    std::memcpy(dst, src, stride);
    return;
  }
  // Four bytes at a time with the fourth cleared; the last pixel alone, so that nothing past the
  // row is read.
  uint32_t x = 0;
  for (; x + 1 < width; ++x, src += 3, dst += 4) {
    uint32_t v = 0;
    std::memcpy(&v, src, 4);
    v &= std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;
    std::memcpy(dst, &v, 4);
  }
  if (x < width) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    dst[3] = 0;
  }
}

// WhiteIsZero: every bit flipped is 1 - v, 15 - v and 255 - v for the three gray formats alike.
void invert(Image* img) {
  const size_t n = static_cast<size_t>(img->stride) * img->height;
  for (size_t i = 0; i < n; ++i) img->pixels[i] = static_cast<uint8_t>(~img->pixels[i]);
}

// ---- Header and tags ----

// The byte order, the first directory and its entries by the tag table; the description's header
// fields. Entries of other tags, or of a type or count the table does not allow, are left absent.
int read_directory(const uint8_t* data, size_t size, Tiff* t, TiffDescription* d) {
  if (size < 8) return fail("not a TIFF file (too short)");
  *t = Tiff{data, size, false, {}};
  if (data[0] == 'I' && data[1] == 'I') {
    t->big_endian = false;
  } else if (data[0] == 'M' && data[1] == 'M') {
    t->big_endian = true;
  } else {
    return fail("not a TIFF file (byte order is not II or MM)");
  }
  d->byte_order = static_cast<uint16_t>(data[0] << 8 | data[1]);
  d->first_directory = u32(*t, data + 4);
  const uint64_t dir = d->first_directory;
  if (dir + 2 > size) return fail("TIFF directory lies past the end of the file");
  const uint32_t entries = u16(*t, data + dir);
  if (entries > kTiffMaxEntries) return fail("TIFF directory has too many entries");
  if (dir + 2 + uint64_t{entries} * 12 > size) return fail("TIFF directory runs past the end of the file");
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* e = data + dir + 2 + uint64_t{i} * 12;
    const uint16_t tag = u16(*t, e), type = u16(*t, e + 2);
    const uint32_t count = u32(*t, e + 4);
    for (const TagRule& rule : kTags) {
      if (rule.tag != tag) continue;
      if (type < 32 && (rule.types & type_bit(type)) && count >= rule.min_count) {
        t->fields[rule.field] = Entry{true, type, count, e + 8};
      }
      break;
    }
  }
  return 1;
}

// What the directory says about the picture, with the defaults of absent fields.
void describe(const Tiff& t, TiffDescription* d) {
  d->width = integer(t, kWidth, 0);
  d->height = integer(t, kHeight, 0);
  d->bits = integer(t, kBits, 1);
  d->compression = integer(t, kCompression, kNone);
  d->photometric = integer(t, kPhotometric, UINT32_MAX);
  d->strip_count = t.fields[kStripOffsets].present ? t.fields[kStripOffsets].count : 0;
  d->strip_byte_count = integer(t, kStripByteCounts, 0);
  double factor = 0;
  switch (integer(t, kUnit, 0)) {
    case 2: factor = 1; break;
    case 3: factor = 2.54; break;
    default: break;
  }
  d->x_resolution = static_cast<float>(rational(t, kXResolution) * factor);
  d->y_resolution = static_cast<float>(rational(t, kYResolution) * factor);
}

// The layouts this reader decodes: size within the limit, a known compression, gray, palette
// or 8-bit RGB in one plane, and the predictor only where it is defined here.
int check_layout(const Tiff& t, const TiffDescription& d) {
  if (!picture_size_allowed(d.width, d.height)) return 0;
  if (d.compression != kNone && d.compression != kLzw && d.compression != kPackBits) {
    return fail("TIFF compression other than none, LZW and PackBits is not supported");
  }
  const uint32_t samples = integer(t, kSamples, 1);
  // No default for a missing interpretation: readers disagree (Pillow takes WhiteIsZero, libtiff's
  // RGBA reader BlackIsZero, ImageMagick refuses), so a guess would show some files inverted.
  if (d.photometric > 3) return fail("TIFF photometric interpretation is missing or not supported");
  if (d.photometric == 2) {
    if (samples != 3 || d.bits != 8) return fail("TIFF RGB other than three 8-bit samples is not supported");
    if (integer(t, kPlanar, 1) != 1) return fail("TIFF with separate colour planes is not supported");
  } else {
    if (samples != 1) return fail("TIFF with extra samples is not supported");
    if (d.bits != 1 && d.bits != 4 && d.bits != 8) return fail("TIFF bits per sample other than 1, 4, 8");
  }
  const uint32_t predictor = integer(t, kPredictor, 1);
  if (predictor != 1 && (predictor != 2 || d.bits != 8 || d.compression == kNone)) {
    return fail("TIFF predictor not supported for this layout");
  }
  return 1;
}

// ---- Format and palette ----

struct Format {
  int32_t format;
  int32_t palette_count;  // 0: no palette
  uint32_t palette[256];
};

// The image format by photometric interpretation and bits; a colour map that is a gray ramp
// makes a gray picture, any other becomes the palette (16-bit values, or 8-bit ones stored in
// 16-bit fields when every red value's low byte is used).
int choose_format(const Tiff& t, const TiffDescription& d, Format* out) {
  out->palette_count = 0;
  const int32_t gray_by_bits = d.bits == 1 ? Mono1 : d.bits == 4 ? Gray4 : Gray8;
  if (d.photometric <= 1) {
    out->format = gray_by_bits;
    return 1;
  }
  if (d.photometric == 2) {
    out->format = Rgb32;
    return 1;
  }
  const Entry& map = t.fields[kColourMap];
  const uint32_t n = 1u << d.bits;
  if (!map.present || map.count < 3 * n) {
    return fail("TIFF colour map missing or shorter than the bit depth needs");
  }
  const uint64_t map_at = u32(t, map.value_field);
  if (map_at + uint64_t{n} * 6 > t.size) return fail("TIFF colour map runs past the end of the file");
  const uint8_t* m = t.data + map_at;
  bool ramp = true, low_zero = true;
  uint32_t previous = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t r = u16(t, m + 2 * i), g = u16(t, m + 2 * (n + i)), b = u16(t, m + 2 * (2 * n + i));
    if (r != g || r != b || (i > 0 && r <= previous + 256 / (n + 1))) ramp = false;
    if (r & 0xFF) low_zero = false;
    previous = r;
  }
  if (ramp) {
    out->format = gray_by_bits;
    return 1;
  }
  out->format = d.bits == 1 ? Mono1 : d.bits == 4 ? Indexed4 : Indexed8;
  const int shift = low_zero ? 8 : 0;
  for (uint32_t i = 0; i < n; ++i) {
    out->palette[i] = colour_value(u16(t, m + 2 * i) >> shift, u16(t, m + 2 * (n + i)) >> shift,
                                   u16(t, m + 2 * (2 * n + i)) >> shift);
  }
  out->palette_count = static_cast<int32_t>(n);
  return 1;
}

// ---- Strips ----

struct Strips {
  const Entry* offsets;
  uint32_t rows_per_strip;
  uint32_t count;       // strips the picture's rows need (the file may list more)
  uint64_t file_row;    // bytes of one row as stored
  uint64_t strip_size;  // bytes of a whole strip, decoded
  uint32_t compression;
  bool predictor;       // horizontal differencing on 8-bit samples
  size_t samples;       // per pixel, for the predictor
};

uint32_t rows_in_strip(const Strips& st, uint32_t height, uint32_t s) {
  return s + 1 < st.count ? st.rows_per_strip : height - s * st.rows_per_strip;
}

// Coded bytes of a strip starting at `at`: up to twice its decoded size, within the file.
uint64_t coded_size(const Tiff& t, const Strips& st, uint32_t at) {
  return t.size - at < 2 * st.strip_size ? t.size - at : 2 * st.strip_size;
}

// The strip layout, every strip checked against the file before anything is allocated.
int plan_strips(const Tiff& t, TiffDescription* d, Strips* st) {
  const Entry& offsets = t.fields[kStripOffsets];
  if (!offsets.present) return fail("TIFF without strip offsets (tiled pictures are not supported)");
  if (offsets.count > kTiffMaxStrips) return fail("TIFF has too many strips");
  const uint32_t height = d->height;
  uint32_t rows_per_strip = integer(t, kRowsPerStrip, 0);
  if (rows_per_strip == 0) rows_per_strip = height / offsets.count;
  if (rows_per_strip == 0) rows_per_strip = 1;
  if (rows_per_strip > height) rows_per_strip = height;
  d->rows_per_strip = rows_per_strip;
  st->offsets = &offsets;
  st->rows_per_strip = rows_per_strip;
  st->count = (height + rows_per_strip - 1) / rows_per_strip;
  if (st->count > offsets.count) return fail("TIFF has fewer strip offsets than its rows need");
  const bool rgb = d->photometric == 2;
  st->file_row = rgb ? uint64_t{d->width} * 3 : (uint64_t{d->width} * d->bits + 7) / 8;
  st->strip_size = st->file_row * rows_per_strip;
  st->compression = d->compression;
  st->predictor = integer(t, kPredictor, 1) == 2;
  st->samples = rgb ? 3 : 1;
  for (uint32_t s = 0; s < st->count; ++s) {
    uint32_t at = 0;
    if (!element(t, offsets, s, &at)) return fail("TIFF strip offsets run past the end of the file");
    const uint64_t rows = rows_in_strip(*st, height, s);
    if (st->compression == kNone) {
      if (at + rows * st->file_row > t.size) return fail("TIFF strip runs past the end of the file");
    } else {
      if (at >= t.size) return fail("TIFF strip starts past the end of the file");
      // A strip cut short still loads (its missing rows zero), but not one whose bytes could
      // never expand to its rows: that size is a lie, not a truncation.
      const uint64_t coded = coded_size(t, *st, at);
      const uint64_t most =
          st->compression == kLzw ? base::lzw_max_expansion(coded) : base::rle_max_expansion(coded);
      if (most < rows * st->file_row) return fail("TIFF strip is too short for the rows it claims");
    }
  }
  return 1;
}

// The rows of strip `s` as stored: in place for uncompressed strips, else decoded into `buffer`
// (strip_size bytes). A short or broken strip leaves the rest of its rows zero, never stale bytes.
const uint8_t* strip_data(const Tiff& t, const Strips& st, uint32_t s, uint32_t rows, uint8_t* buffer) {
  uint32_t at = 0;
  (void)element(t, *st.offsets, s, &at);  // checked by plan_strips
  const uint8_t* source = t.data + at;
  if (st.compression == kNone) return source;
  const uint64_t coded = coded_size(t, st, at);
  size_t written = 0;
  if (st.compression == kLzw) {
    (void)base::lzw_decode(source, coded, buffer, st.strip_size, &written);
  } else {
    (void)base::rle_decode(source, coded, buffer, st.strip_size, &written);
  }
  std::memset(buffer + written, 0, st.strip_size - written);
  if (st.predictor) unpredict(buffer, rows, st.file_row, st.samples);
  return buffer;
}

// Every strip into the allocated image.
void decode_strips(const Tiff& t, const Strips& st, uint8_t* buffer, Image* img) {
  const auto stride = static_cast<size_t>(img->stride);
  for (uint32_t s = 0; s < st.count; ++s) {
    const uint32_t first = s * st.rows_per_strip;
    const uint32_t rows = rows_in_strip(st, img->height, s);
    const uint8_t* source = strip_data(t, st, s, rows, buffer);
    for (uint32_t r = 0; r < rows; ++r) {
      copy_row(img->pixels + stride * (first + r), source + st.file_row * r, img->format, img->width, stride);
    }
  }
}

}  // namespace

int read_tiff_memory(TiffDescription* description, Image* img, const uint8_t* data, size_t size) {
  TiffDescription local{};
  TiffDescription& d = description ? *description : local;
  d = TiffDescription{};
  Tiff t{};
  if (!read_directory(data, size, &t, &d)) return 0;
  describe(t, &d);
  if (!check_layout(t, d)) return 0;
  Format f{};
  if (!choose_format(t, d, &f)) return 0;
  Strips st{};
  if (!plan_strips(t, &d, &st)) return 0;

  const base::HeapBlock strip_block(d.compression != kNone ? base::heap_alloc(st.strip_size) : nullptr);
  if (d.compression != kNone && !strip_block) return fail("out of memory for a TIFF strip");
  image_free(img);
  if (!image_allocate(img, f.format, static_cast<int32_t>(d.width), static_cast<int32_t>(d.height),
                      f.palette_count, f.palette_count ? f.palette : nullptr, 0, 0)) {
    return 0;
  }
  decode_strips(t, st, static_cast<uint8_t*>(strip_block.get()), img);
  if (d.photometric == 0) invert(img);
  return 1;
}

int read_tiff(TiffDescription* description, Image* img, const char* path) {
  if (description) *description = TiffDescription{};
  return internal::parse_file(path,
                              [&](const uint8_t* data, size_t size) { return read_tiff_memory(description, img, data, size); });
}

}  // namespace lumra::image
