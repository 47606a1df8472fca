// PSF reading through the bounded cursor. PSF1: 4-byte header, 8-pixel-wide glyphs, 256 or 512
// of them, a table of 16-bit code points per glyph ended by 0xFFFF. PSF2: 32-byte header with
// sizes, a table of UTF-8 code points per glyph ended by 0xFF. 0xFFFE / 0xFE start sequences of
// combining characters, which are skipped.
#include "framework/graphics/psf_font.h"

#include <zlib.h>

#include <cstring>
#include <initializer_list>

#include "framework/base/bytes.h"
#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"

namespace lumra::graphics {
namespace {

using base::ByteCursor;
using base::fail;

constexpr uint8_t kPsf1Magic[2] = {0x36, 0x04};
constexpr uint8_t kPsf2Magic[4] = {0x72, 0xB5, 0x4A, 0x86};
constexpr uint8_t kPsf1Mode512 = 0x01;
constexpr uint8_t kPsf1ModeHasTable = 0x02;
constexpr uint8_t kPsf1ModeHasSequences = 0x04;
constexpr uint32_t kPsf2HasTable = 0x01;

int compare_entries(const void* a, const void* b) {
  const uint32_t x = static_cast<const PsfMapEntry*>(a)->code_point;
  const uint32_t y = static_cast<const PsfMapEntry*>(b)->code_point;
  return x < y ? -1 : (x > y ? 1 : 0);
}

int compare_key(const void* key, const void* element) {
  const uint32_t x = *static_cast<const uint32_t*>(key);
  const uint32_t y = static_cast<const PsfMapEntry*>(element)->code_point;
  return x < y ? -1 : (x > y ? 1 : 0);
}

bool add_mapping(PsfFont* font, uint32_t code_point, uint32_t glyph) {
  auto* entry = static_cast<PsfMapEntry*>(base::array_append(&font->map));
  if (!entry) return false;
  *entry = PsfMapEntry{code_point, glyph};
  return true;
}

// One UTF-8 character of a PSF2 table; false at a malformed or truncated one.
bool read_utf8(ByteCursor& c, uint8_t lead, uint32_t* out) {
  int more = 0;
  uint32_t value = 0;
  if (lead < 0x80) {
    value = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    value = lead & 0x1Fu, more = 1;
  } else if ((lead & 0xF0) == 0xE0) {
    value = lead & 0x0Fu, more = 2;
  } else if ((lead & 0xF8) == 0xF0) {
    value = lead & 0x07u, more = 3;
  } else {
    return false;
  }
  for (int i = 0; i < more; ++i) {
    uint8_t b = 0;
    if (!base::cursor_u8(c, &b) || (b & 0xC0) != 0x80) return false;
    value = (value << 6) | (b & 0x3Fu);
  }
  *out = value;
  return true;
}

int read_psf1_table(PsfFont* font, ByteCursor& c) {
  for (uint32_t glyph = 0; glyph < font->glyph_count; ++glyph) {
    bool in_sequence = false;
    for (;;) {
      uint16_t value = 0;
      if (!base::cursor_u16le(c, &value)) return fail("PSF1 table ends early");
      if (value == 0xFFFF) break;
      if (value == 0xFFFE) in_sequence = true;
      if (in_sequence) continue;
      if (!add_mapping(font, value, glyph)) return fail("out of memory for the PSF table");
    }
  }
  return 1;
}

int read_psf2_table(PsfFont* font, ByteCursor& c) {
  for (uint32_t glyph = 0; glyph < font->glyph_count; ++glyph) {
    bool in_sequence = false;
    for (;;) {
      uint8_t lead = 0;
      if (!base::cursor_u8(c, &lead)) return fail("PSF2 table ends early");
      if (lead == 0xFF) break;
      if (lead == 0xFE) {
        in_sequence = true;
        continue;
      }
      uint32_t code_point = 0;
      if (!read_utf8(c, lead, &code_point)) return fail("PSF2 table holds malformed UTF-8");
      if (in_sequence) continue;
      if (!add_mapping(font, code_point, glyph)) return fail("out of memory for the PSF table");
    }
  }
  return 1;
}

int read_glyphs(PsfFont* font, ByteCursor& c) {
  if (font->glyph_count == 0 || font->glyph_count > kPsfMaxGlyphs) return fail("PSF glyph count out of range");
  if (font->width == 0 || font->height == 0 || font->width > kPsfMaxSide || font->height > kPsfMaxSide) {
    return fail("PSF glyph size out of range");
  }
  font->row_bytes = (font->width + 7) / 8;
  if (font->glyph_bytes < font->row_bytes * font->height || font->glyph_bytes > kPsfMaxSide * kPsfMaxSide) {
    return fail("PSF glyph bytes do not match the glyph size");
  }
  size_t bytes = 0;
  if (!base::checked_mul<size_t>(font->glyph_count, font->glyph_bytes, &bytes) || bytes > c.left) {
    return fail("PSF glyphs run past the end");
  }
  font->glyphs = static_cast<uint8_t*>(base::heap_alloc(bytes));
  if (!font->glyphs) return fail("out of memory for PSF glyphs");
  return base::cursor_read(c, font->glyphs, bytes) ? 1 : 0;
}

}  // namespace

int psf_parse(PsfFont* font, const uint8_t* data, size_t size) {
  *font = PsfFont{};
  base::array_setup(&font->map, sizeof(PsfMapEntry));
  ByteCursor c = base::make_cursor(data, size);
  bool has_table = false;
  bool psf1 = false;
  int ok = 0;
  if (size >= 4 && std::memcmp(data, kPsf2Magic, 4) == 0) {
    uint32_t header[8] = {};  // magic, version, header size, flags, length, glyph bytes, height, width
    for (uint32_t& field : header) {
      if (!base::cursor_u32le(c, &field)) return psf_release(font), fail("PSF2 header ends early");
    }
    if (header[2] < 32 || header[2] > size) return psf_release(font), fail("PSF2 header size out of range");
    c = base::make_cursor(data + header[2], size - header[2]);
    has_table = header[3] & kPsf2HasTable;
    font->glyph_count = header[4];
    font->glyph_bytes = header[5];
    font->height = header[6];
    font->width = header[7];
    ok = read_glyphs(font, c);
  } else if (size >= 4 && std::memcmp(data, kPsf1Magic, 2) == 0) {
    psf1 = true;
    const uint8_t mode = data[2];
    has_table = mode & (kPsf1ModeHasTable | kPsf1ModeHasSequences);
    font->glyph_count = (mode & kPsf1Mode512) ? 512 : 256;
    font->glyph_bytes = data[3];
    font->height = data[3];
    font->width = 8;
    (void)base::cursor_skip(c, 4);
    ok = read_glyphs(font, c);
  } else {
    return psf_release(font), fail("not a PSF font");
  }
  if (ok && has_table) ok = psf1 ? read_psf1_table(font, c) : read_psf2_table(font, c);
  if (!ok) return psf_release(font), 0;
  base::array_sort(&font->map, compare_entries);
  return 1;
}

int psf_load_file(PsfFont* font, const char* path) {
  *font = PsfFont{};
  gzFile file = gzopen(path, "rb");
  if (!file) return base::failf("cannot open the font %s", path);
  // gzread reads plain files unchanged, so one path serves both forms.
  auto* data = static_cast<uint8_t*>(base::heap_alloc(kPsfMaxFileBytes + 1));
  if (!data) return gzclose(file), fail("out of memory for the font file");
  size_t size = 0;
  for (;;) {
    const int n = gzread(file, data + size, static_cast<unsigned>(kPsfMaxFileBytes + 1 - size));
    if (n <= 0) break;
    size += static_cast<size_t>(n);
    if (size > kPsfMaxFileBytes) break;
  }
  int error = 0;
  gzerror(file, &error);
  gzclose(file);
  int ok = 0;
  if (error != Z_OK && error != Z_STREAM_END) {
    ok = base::failf("cannot read the font %s", path);
  } else if (size > kPsfMaxFileBytes) {
    ok = base::failf("font %s is larger than %zu bytes", path, kPsfMaxFileBytes);
  } else {
    ok = psf_parse(font, data, size);
  }
  base::heap_free(data);
  return ok;
}

void psf_release(PsfFont* font) {
  base::heap_free(font->glyphs);
  if (font->map.element_size) base::array_release(&font->map);
  *font = PsfFont{};
}

int32_t psf_glyph(const PsfFont* font, uint32_t code_point) {
  if (!font->glyphs) return -1;
  for (const uint32_t wanted : {code_point, static_cast<uint32_t>('?')}) {
    if (font->map.count == 0) {
      if (wanted < font->glyph_count) return static_cast<int32_t>(wanted);
      continue;
    }
    const void* hit = base::array_search_sorted(&font->map, &wanted, compare_key);
    if (hit) return static_cast<int32_t>(static_cast<const PsfMapEntry*>(hit)->glyph);
  }
  return -1;
}

bool psf_pixel(const PsfFont* font, int32_t glyph, uint32_t x, uint32_t y) {
  if (glyph < 0 || static_cast<uint32_t>(glyph) >= font->glyph_count || x >= font->width || y >= font->height) {
    return false;
  }
  const uint8_t* row = font->glyphs + static_cast<size_t>(glyph) * font->glyph_bytes + static_cast<size_t>(y) * font->row_bytes;
  return (row[x / 8] >> (7 - x % 8)) & 1;
}

}  // namespace lumra::graphics
