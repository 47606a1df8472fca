// TIFF reader, in three steps: the header and first directory (entries checked against one table
// of {tag, types, count}), the format and palette, and the blocks, strips or tiles (planned and
// checked against the file before anything is allocated, then decoded one at a time). Every
// offset the file gives is checked against its size before use; compressed blocks go through the
// foundation's LZW and run-length decoders or zlib into one block buffer, bounded by its capacity.
#include "framework/image/tiff_file.h"

#include <zlib.h>

#include <algorithm>
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
  kStripByteCounts, kXResolution, kYResolution, kPlanar, kUnit, kPredictor, kColourMap,
  kTileWidth, kTileLength, kTileOffsets, kExtraSamples, kSampleFormat, kFieldCount
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
    {322, kTileWidth, type_bit(kShort) | type_bit(kLong), 1},
    {323, kTileLength, type_bit(kShort) | type_bit(kLong), 1},
    {324, kTileOffsets, type_bit(kLong), 1},
    {338, kExtraSamples, kIntegers, 1},
    {339, kSampleFormat, kIntegers, 1},
};

// Compressions: none, LZW, deflate (the registered code and the older one), PackBits.
constexpr uint32_t kNone = 1, kLzw = 5, kDeflate = 8, kOldDeflate = 32946, kPackBits = 32773;

// Deflate expands at most 1,032 to 1 (zlib's own figure for its format).
constexpr uint64_t kDeflateMaxRatio = 1032;

// All tiles together may hold at most four times the picture's own bytes plus this many.
constexpr uint64_t kTileSlack = uint64_t{4} << 20;

// Samples of a pixel beyond the colour ones; more are refused as implausible.
constexpr uint32_t kMaxSamples = 16;

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

// ---- Layout ----

// How the stored samples become the image's pixels.
struct Layout {
  uint32_t colours;       // colour samples of a pixel: 1 (gray, palette) or 3 (RGB)
  uint32_t samples;       // all samples of a pixel, extra ones included
  uint32_t bits;          // per sample: 1, 4, 8 or 16
  int32_t alpha;          // the sample holding alpha, or -1 (extra samples of no declared use are dropped)
  bool premultiplied;     // the alpha is associated: colours are already scaled by it
  bool white_is_zero;
  bool predictor;         // horizontal differencing
  bool packed;            // one sample of 1, 4 or 8 bits: rows are the image's rows as they stand
};

// The layouts this reader decodes: size within the limit, a known compression, gray (with extra
// samples when of 8 or 16 bits), palette, or RGB of 8 or 16 bits with or without extra samples,
// all in one plane of unsigned integers, and the predictor only where it is defined.
int check_layout(const Tiff& t, const TiffDescription& d, Layout* out) {
  if (!picture_size_allowed(d.width, d.height)) return 0;
  const uint32_t c = d.compression;
  if (c != kNone && c != kLzw && c != kPackBits && c != kDeflate && c != kOldDeflate) {
    return fail("TIFF compression other than none, LZW, deflate and PackBits is not supported");
  }
  // No default for a missing interpretation: readers disagree (Pillow takes WhiteIsZero, libtiff's
  // RGBA reader BlackIsZero, ImageMagick refuses), so a guess would show some files inverted.
  if (d.photometric > 3) return fail("TIFF photometric interpretation is missing or not supported");
  if (integer(t, kSampleFormat, 1) != 1) return fail("TIFF samples other than unsigned integers are not supported");
  const uint32_t samples = integer(t, kSamples, 1);
  if (samples > kMaxSamples) return fail("TIFF has too many samples per pixel");
  if (samples > 1 && integer(t, kPlanar, 1) != 1) return fail("TIFF with separate sample planes is not supported");
  Layout l{};
  l.samples = samples;
  l.bits = d.bits;
  l.alpha = -1;
  l.white_is_zero = d.photometric == 0;
  if (d.photometric == 2) {
    l.colours = 3;
    if (samples < 3) return fail("TIFF RGB with fewer than three samples");
    if (d.bits != 8 && d.bits != 16) return fail("TIFF RGB samples other than 8 or 16 bits are not supported");
  } else {
    l.colours = 1;
    if (samples < 1) return fail("TIFF without samples");
    if (d.bits != 1 && d.bits != 4 && d.bits != 8 && (d.bits != 16 || d.photometric == 3)) {
      return fail("TIFF bits per sample other than 1, 4, 8 (and 16 for gray)");
    }
    if (samples > 1 && (d.bits < 8 || d.photometric == 3)) return fail("TIFF with extra samples is not supported for this layout");
  }
  if (samples > l.colours && t.fields[kExtraSamples].present) {
    uint32_t use = 0;
    if (element(t, t.fields[kExtraSamples], 0, &use) && (use == 1 || use == 2)) {
      l.alpha = static_cast<int32_t>(l.colours);
      l.premultiplied = use == 1;
    }
  }
  l.packed = samples == 1 && d.bits <= 8;
  const uint32_t predictor = integer(t, kPredictor, 1);
  if (predictor != 1 && (predictor != 2 || d.bits < 8 || c == kNone)) {
    return fail("TIFF predictor not supported for this layout");
  }
  l.predictor = predictor == 2;
  *out = l;
  return 1;
}

// ---- Format and palette ----

struct Format {
  int32_t format;
  int32_t palette_count;  // 0: no palette
  uint32_t palette[256];
};

// The image format by photometric interpretation and bits; a colour map that is a gray ramp
// makes a gray picture, any other becomes the palette. The map's values are 16-bit; a map whose
// every value in all three channels is below 256 holds 8-bit values instead (a common writers'
// mistake), as libtiff's RGBA reader takes it.
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
  bool ramp = true, eight_bit = true;
  uint32_t previous = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t r = u16(t, m + 2 * i), g = u16(t, m + 2 * (n + i)), b = u16(t, m + 2 * (2 * n + i));
    if (r != g || r != b || (i > 0 && r <= previous + 256 / (n + 1))) ramp = false;
    if (r > 255 || g > 255 || b > 255) eight_bit = false;
    previous = r;
  }
  if (ramp) {
    out->format = gray_by_bits;
    return 1;
  }
  out->format = d.bits == 1 ? Mono1 : d.bits == 4 ? Indexed4 : Indexed8;
  const int shift = eight_bit ? 0 : 8;
  for (uint32_t i = 0; i < n; ++i) {
    out->palette[i] = colour_value(u16(t, m + 2 * i) >> shift, u16(t, m + 2 * (n + i)) >> shift,
                                   u16(t, m + 2 * (2 * n + i)) >> shift);
  }
  out->palette_count = static_cast<int32_t>(n);
  return 1;
}

// ---- Blocks: strips or tiles ----

enum class Coding { kStored, kMsbLzw, kLsbLzw, kRunLength, kZlib };

struct Blocks {
  const Entry* offsets;
  bool tiled;
  uint32_t width;       // pixels of a block row: the picture's width for strips
  uint32_t rows;        // rows of a whole block
  uint32_t across;      // blocks per band of rows (1 for strips)
  uint32_t count;       // blocks the picture needs (the file may list more)
  uint64_t row_bytes;   // bytes of one block row as stored
  uint64_t size;        // bytes of a whole block, decoded
  uint32_t compression;
};

uint32_t block_x(const Blocks& b, uint32_t i) { return i % b.across * b.width; }
uint32_t block_y(const Blocks& b, uint32_t i) { return i / b.across * b.rows; }

// Rows stored for block i: tiles always hold whole tiles, the last strip only the rows left.
uint32_t rows_in_block(const Blocks& b, uint32_t height, uint32_t i) {
  return b.tiled ? b.rows : std::min(b.rows, height - block_y(b, i));
}

// Coded bytes of a block starting at `at`: up to twice its decoded size and a little more, within
// the file. No coding grows data that far (LZW of 12-bit codes by 1.5 and a few control codes,
// deflate and PackBits by a fraction and a header), but tiny blocks (one pixel, say) do grow past
// twice their size.
constexpr uint64_t kCodingOverhead = 64;
uint64_t coded_size(const Tiff& t, const Blocks& b, uint32_t at) {
  const uint64_t most = 2 * b.size + kCodingOverhead;
  return t.size - at < most ? t.size - at : most;
}

// How an LZW block is coded: TIFF 6.0's form starts with a clear code written most significant
// bit first (0x80, then a 0 bit); files from before 6.0 write it least significant bit first (a
// first byte 0 and the low bit of the second set), which is how libtiff tells them apart.
Coding lzw_form(const uint8_t* code, uint64_t size) {
  if (size >= 2 && code[0] == 0x80 && !(code[1] & 0x80)) return Coding::kMsbLzw;
  if (size >= 2 && code[0] == 0 && (code[1] & 1)) return Coding::kLsbLzw;
  return Coding::kStored;
}

uint64_t max_expansion(Coding coding, uint64_t coded) {
  switch (coding) {
    case Coding::kMsbLzw: return base::lzw_max_expansion(coded);
    case Coding::kLsbLzw: return base::lzw_lsb_first_max_expansion(coded);
    case Coding::kRunLength: return base::rle_max_expansion(coded);
    default: return coded > UINT64_MAX / kDeflateMaxRatio ? UINT64_MAX : coded * kDeflateMaxRatio;
  }
}

Coding coding_of(const Blocks& b, const uint8_t* code, uint64_t size) {
  switch (b.compression) {
    case kNone: return Coding::kStored;
    case kLzw: return lzw_form(code, size);
    case kPackBits: return Coding::kRunLength;
    default: return Coding::kZlib;
  }
}

// The block layout, every block checked against the file before anything is allocated.
int plan_blocks(const Tiff& t, TiffDescription* d, const Layout& l, Blocks* b) {
  const uint32_t width = d->width, height = d->height;
  const uint64_t picture_row = (uint64_t{width} * l.samples * l.bits + 7) / 8;
  *b = Blocks{};
  b->compression = d->compression;
  const bool tiled = t.fields[kTileOffsets].present || t.fields[kTileWidth].present;
  if (tiled) {
    const uint32_t tile_width = integer(t, kTileWidth, 0), tile_length = integer(t, kTileLength, 0);
    if (tile_width == 0 || tile_length == 0 || tile_width % 16 || tile_length % 16) {
      return fail("TIFF tile sides must be multiples of 16");
    }
    if (!t.fields[kTileOffsets].present) return fail("TIFF tiles without tile offsets");
    b->offsets = &t.fields[kTileOffsets];
    b->tiled = true;
    b->width = tile_width;
    b->rows = tile_length;
    b->across = static_cast<uint32_t>((uint64_t{width} + tile_width - 1) / tile_width);
    const uint64_t down = (uint64_t{height} + tile_length - 1) / tile_length;
    if (uint64_t{b->across} * down > kTiffMaxStrips) return fail("TIFF has too many tiles");
    b->count = static_cast<uint32_t>(b->across * down);
    b->row_bytes = (uint64_t{tile_width} * l.samples * l.bits + 7) / 8;
    b->size = b->row_bytes * tile_length;
    // Every tile is decoded whole: tiles that the picture mostly does not show (tall tiles over a
    // one-row picture, say) would make a small file cost far more work than its picture is worth.
    if (b->size * b->count > 4 * picture_row * height + kTileSlack) return fail("TIFF tiles are far larger than the picture");
    if (b->count > b->offsets->count) return fail("TIFF has fewer tile offsets than its tiles need");
  } else {
    const Entry& offsets = t.fields[kStripOffsets];
    if (!offsets.present) return fail("TIFF without strip or tile offsets");
    if (offsets.count > kTiffMaxStrips) return fail("TIFF has too many strips");
    uint32_t rows_per_strip = integer(t, kRowsPerStrip, 0);
    if (rows_per_strip == 0) rows_per_strip = height / offsets.count;
    if (rows_per_strip == 0) rows_per_strip = 1;
    if (rows_per_strip > height) rows_per_strip = height;
    d->rows_per_strip = rows_per_strip;
    b->offsets = &offsets;
    b->width = width;
    b->rows = rows_per_strip;
    b->across = 1;
    b->count = (height + rows_per_strip - 1) / rows_per_strip;
    if (b->count > offsets.count) return fail("TIFF has fewer strip offsets than its rows need");
    b->row_bytes = picture_row;
    b->size = picture_row * rows_per_strip;
  }
  for (uint32_t i = 0; i < b->count; ++i) {
    uint32_t at = 0;
    if (!element(t, *b->offsets, i, &at)) return fail("TIFF block offsets run past the end of the file");
    const uint64_t rows = rows_in_block(*b, height, i);
    if (b->compression == kNone) {
      if (at + rows * b->row_bytes > t.size) return fail("TIFF strip or tile runs past the end of the file");
      continue;
    }
    if (at >= t.size) return fail("TIFF strip or tile starts past the end of the file");
    const uint64_t coded = coded_size(t, *b, at);
    const Coding coding = coding_of(*b, t.data + at, coded);
    if (coding == Coding::kStored) return fail("TIFF LZW strip or tile starts with no clear code of either form");
    // A block cut short still loads (its missing rows zero), but not one whose bytes could
    // never expand to its rows: that size is a lie, not a truncation.
    if (max_expansion(coding, coded) < rows * b->row_bytes) return fail("TIFF strip or tile is too short for the rows it claims");
  }
  return 1;
}

// zlib's inflate into `out`; the bytes written, however the stream ends.
size_t inflate_block(const uint8_t* in, uint64_t in_size, uint8_t* out, uint64_t capacity) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return 0;
  z.next_in = const_cast<Bytef*>(in);
  z.avail_in = static_cast<uInt>(std::min<uint64_t>(in_size, UINT32_MAX));
  z.next_out = out;
  z.avail_out = static_cast<uInt>(std::min<uint64_t>(capacity, UINT32_MAX));
  (void)inflate(&z, Z_FINISH);
  const size_t written = static_cast<size_t>(z.total_out);
  inflateEnd(&z);
  return written;
}

// Undoes the horizontal predictor on rows of 8- or 16-bit samples (16-bit ones in the file's
// byte order).
void unpredict(const Tiff& t, const Layout& l, uint8_t* rows, size_t row_count, size_t row_bytes) {
  const size_t step = l.samples;
  for (size_t r = 0; r < row_count; ++r) {
    uint8_t* p = rows + r * row_bytes;
    if (l.bits == 8) {
      for (size_t i = step; i < row_bytes; ++i) p[i] = static_cast<uint8_t>(p[i] + p[i - step]);
      continue;
    }
    const size_t n = row_bytes / 2;
    for (size_t i = step; i < n; ++i) {
      const auto v = static_cast<uint16_t>(u16(t, p + 2 * i) + u16(t, p + 2 * (i - step)));
      if (t.big_endian) base::store_u16be(p + 2 * i, v);
      else base::store_u16le(p + 2 * i, v);
    }
  }
}

// The rows of block i as stored: in place for uncompressed blocks, else decoded into `buffer`
// (size bytes). A short or broken block leaves the rest of its rows zero, never stale bytes.
const uint8_t* block_data(const Tiff& t, const Blocks& b, const Layout& l, uint32_t i, uint32_t rows, uint8_t* buffer) {
  uint32_t at = 0;
  (void)element(t, *b.offsets, i, &at);  // checked by plan_blocks
  const uint8_t* source = t.data + at;
  if (b.compression == kNone) return source;
  const uint64_t coded = coded_size(t, b, at);
  size_t written = 0;
  switch (coding_of(b, source, coded)) {
    case Coding::kMsbLzw: (void)base::lzw_decode(source, coded, buffer, b.size, &written); break;
    case Coding::kLsbLzw: (void)base::lzw_decode_lsb_first(source, coded, buffer, b.size, &written); break;
    case Coding::kRunLength: (void)base::rle_decode(source, coded, buffer, b.size, &written); break;
    case Coding::kZlib: written = inflate_block(source, coded, buffer, b.size); break;
    case Coding::kStored: break;  // refused by plan_blocks
  }
  std::memset(buffer + written, 0, b.size - written);
  if (l.predictor) unpredict(t, l, buffer, rows, b.row_bytes);
  return buffer;
}

// Sample `index` of a pixel row: a byte, or a 16-bit value in the file's byte order.
inline uint32_t sample_at(const Tiff& t, const uint8_t* p, uint32_t index, bool sixteen) {
  return sixteen ? u16(t, p + 2 * index) : p[index];
}

struct Background {
  bool given;
  uint32_t colour[3];  // red, green, blue; gray pictures use colour[0]
};

// `count` pixels of a block row into the image row at `dst`, from its first pixel: 8-bit RGB is
// widened four bytes at a time, anything with 16-bit or extra samples pixel by pixel.
void convert_row(const Tiff& t, const Layout& l, const Background& back, const uint8_t* src, uint32_t count, uint8_t* dst) {
  if (l.colours == 3 && l.samples == 3 && l.bits == 8) {
    // The last pixel alone, so that nothing past the row is read.
    uint32_t x = 0;
    for (; x + 1 < count; ++x, src += 3, dst += 4) {
      uint32_t v = 0;
      std::memcpy(&v, src, 4);
      v &= std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;
      std::memcpy(dst, &v, 4);
    }
    if (x < count) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
      dst[3] = 0;
    }
    return;
  }
  const bool sixteen = l.bits == 16;
  const uint32_t top = sixteen ? 65535 : 255;
  const bool flatten = back.given && l.alpha >= 0;
  for (uint32_t x = 0; x < count; ++x) {
    const uint32_t first = x * l.samples;
    const uint32_t a = flatten ? sample_at(t, src, first + static_cast<uint32_t>(l.alpha), sixteen) : top;
    uint32_t out[3];
    for (uint32_t c = 0; c < l.colours; ++c) {
      uint32_t v = sample_at(t, src, first + c, sixteen);
      if (l.white_is_zero) v = top - v;
      if (flatten) {
        const uint32_t bg = sixteen ? back.colour[c] * 257 : back.colour[c];
        // Rounded as libpng composes; associated alpha has the colour's share in it already.
        const uint64_t sum = (l.premultiplied ? uint64_t{v} * top : uint64_t{v} * a) + uint64_t{bg} * (top - a);
        v = static_cast<uint32_t>(std::min<uint64_t>((sum + top / 2) / top, top));
      }
      out[c] = sixteen ? v >> 8 : v;
    }
    if (l.colours == 1) {
      dst[x] = static_cast<uint8_t>(out[0]);
    } else {
      dst[4 * x] = static_cast<uint8_t>(out[0]);
      dst[4 * x + 1] = static_cast<uint8_t>(out[1]);
      dst[4 * x + 2] = static_cast<uint8_t>(out[2]);
      dst[4 * x + 3] = 0;
    }
  }
}

// Every block into the allocated image, tiles clipped at the right and bottom edges.
void decode_blocks(const Tiff& t, const Blocks& b, const Layout& l, const Background& back, uint8_t* buffer, Image* img) {
  const auto stride = static_cast<size_t>(img->stride);
  const uint32_t pixel_bytes = img->format == Rgb32 ? 4 : 1;
  for (uint32_t i = 0; i < b.count; ++i) {
    const uint32_t x0 = block_x(b, i), y0 = block_y(b, i);
    const uint32_t rows = rows_in_block(b, img->height, i);
    const uint32_t shown_rows = std::min(rows, img->height - y0);
    const uint32_t shown_width = std::min(b.width, img->width - x0);
    const uint8_t* source = block_data(t, b, l, i, rows, buffer);
    for (uint32_t r = 0; r < shown_rows; ++r) {
      uint8_t* dst = img->pixels + stride * (y0 + r);
      const uint8_t* src = source + b.row_bytes * r;
      if (l.packed) {
        // Tile sides are multiples of 16, so a tile's first pixel starts a byte at every depth.
        std::memcpy(dst + uint64_t{x0} * l.bits / 8, src, (uint64_t{shown_width} * l.bits + 7) / 8);
      } else {
        convert_row(t, l, back, src, shown_width, dst + uint64_t{x0} * pixel_bytes);
      }
    }
  }
}

}  // namespace

int read_tiff_memory(TiffDescription* description, Image* img, const uint8_t* data, size_t size, const uint32_t* background) {
  TiffDescription local{};
  TiffDescription& d = description ? *description : local;
  d = TiffDescription{};
  Tiff t{};
  if (!read_directory(data, size, &t, &d)) return 0;
  describe(t, &d);
  Layout l{};
  if (!check_layout(t, d, &l)) return 0;
  Format f{};
  if (!choose_format(t, d, &f)) return 0;
  Blocks b{};
  if (!plan_blocks(t, &d, l, &b)) return 0;

  const bool buffered = d.compression != kNone;
  const base::HeapBlock block_buffer(buffered ? base::heap_alloc(b.size) : nullptr);
  if (buffered && !block_buffer) return fail("out of memory for a TIFF strip or tile");
  Background back{background != nullptr, {0, 0, 0}};
  if (background) {
    const uint32_t red = *background & 255, green = *background >> 8 & 255, blue = *background >> 16 & 255;
    back.colour[0] = red;
    back.colour[1] = green;
    back.colour[2] = blue;
    // Gray pictures take the background's luminance, as the PNG reader gives it to libpng.
    if (l.colours == 1) back.colour[0] = (30 * red + 59 * green + 11 * blue) / 100;
  }
  image_free(img);
  if (!image_allocate(img, f.format, static_cast<int32_t>(d.width), static_cast<int32_t>(d.height),
                      f.palette_count, f.palette_count ? f.palette : nullptr, 0, 0)) {
    return 0;
  }
  // Tiles may leave the picture's padding bytes unwritten at its right edge.
  if (b.tiled) std::memset(img->pixels, 0, static_cast<size_t>(img->stride) * img->height);
  decode_blocks(t, b, l, back, static_cast<uint8_t*>(block_buffer.get()), img);
  if (l.white_is_zero && l.packed) invert(img);
  return 1;
}

int read_tiff(TiffDescription* description, Image* img, const char* path, const uint32_t* background) {
  if (description) *description = TiffDescription{};
  return internal::parse_file(path, [&](const uint8_t* data, size_t size) {
    return read_tiff_memory(description, img, data, size, background);
  });
}

}  // namespace lumra::image
