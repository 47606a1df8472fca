// Serialised images read back from streams the tests build: the header bounds, empty images, the
// raw form, record tables of rows, row blocks and band blocks in every block method; and hostile
// streams: every truncation, lying sizes, blocks that do not fit their rows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/lzw.h"
#include "framework/base/memstream.h"
#include "framework/base/rle.h"
#include "framework/image/image.h"
#include "framework/image/image_stream.h"

namespace lumra::image {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes* b, uint32_t v) { b->push_back(uint8_t(v)), b->push_back(uint8_t(v >> 8)); }
void put32(Bytes* b, uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }

Bytes header(uint8_t format, uint8_t flags, uint32_t width, uint32_t height, uint16_t palette_count) {
  Bytes b = {format, flags, 0, 0, 0, 0};
  put32(&b, width);
  put32(&b, height);
  put16(&b, palette_count);
  return b;
}

void append(Bytes* b, const Bytes& more) { b->insert(b->end(), more.begin(), more.end()); }

// A block of the native archive format: method, unpacked length, stored length, data.
Bytes block(uint16_t method, const Bytes& plain) {
  Bytes data = plain;
  if (method == 1) {
    data.resize(base::rle_encode_bound(plain.size()));
    size_t n = 0;
    EXPECT_TRUE(base::rle_encode(plain.data(), plain.size(), data.data(), data.size(), &n));
    data.resize(n);
  } else if (method == 2 || method == 4 || method == 8) {
    data.resize(base::lzw_encode_bound(plain.size()));
    size_t n = 0;
    EXPECT_TRUE(base::lzw_encode(plain.data(), plain.size(), data.data(), data.size(), &n));
    data.resize(n);
  } else if (method >= 32) {
    uLongf n = compressBound(static_cast<uLong>(plain.size()));
    data.resize(n);
    EXPECT_EQ(compress2(data.data(), &n, plain.data(), static_cast<uLong>(plain.size()), 6), Z_OK);
    data.resize(n);
  }
  Bytes b;
  put16(&b, method);
  put16(&b, static_cast<uint32_t>(plain.size()));
  put16(&b, static_cast<uint32_t>(data.size()));
  append(&b, data);
  return b;
}

struct Loaded {
  int ok;
  std::string reason;
  Image img;
};

Loaded load(const Bytes& bytes, size_t length) {
  base::MemStream s{};
  // A view of exactly `length` bytes (a copy, so reads past it land outside the allocation); no
  // bytes at all is an empty owned stream, since a view of length 0 is unbounded.
  auto* copy = static_cast<uint8_t*>(base::heap_alloc(length ? length : 1));
  if (length) std::memcpy(copy, bytes.data(), length);
  if (length) {
    base::stream_open_memory(&s, copy, static_cast<int32_t>(length));
  } else {
    base::stream_setup(&s);
  }
  Loaded out{};
  base::clear_error();
  out.ok = image_load_stream(&out.img, &s);
  out.reason = base::last_error();
  base::stream_release(&s);
  base::heap_free(copy);
  return out;
}
Loaded load(const Bytes& bytes) { return load(bytes, bytes.size()); }

Bytes pattern_rows(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i / 13) * 3);
  return b;
}

TEST(ImageStream, HeaderBounds) {
  struct Case {
    const char* name;
    Bytes head;
    const char* reason;  // part of the failure reason
  };
  const Case cases[] = {
      {"format 6", header(6, 0, 1, 1, 0), "format"},
      {"width 1,048,577", header(2, 0, 1048577, 1, 0), "1048577"},
      {"height 1,048,577", header(2, 0, 1, 1048577, 0), "1048577"},
      {"palette of 257", header(4, 0, 1, 1, 257), "palette"},
      {"negative palette", header(4, 0, 1, 1, 0xFFFF), "palette"},
      {"width 1,048,576 passes the header, not the allocation", header(2, 0, 1048576, 1, 0), "allocated"},
      {"width 65,537", header(2, 0, 65537, 1, 0), "allocated"},
      {"storage mode -1", header(2, 3, 1, 1, 0), "storage"},
      {"short header", Bytes{2, 0, 1, 0, 0, 0, 1}, "header"},
  };
  for (const Case& c : cases) {
    Bytes b = c.head;
    b.resize(b.size() + 64, 0);
    const Loaded l = load(b, c.head.size() < 16 ? c.head.size() : b.size());
    EXPECT_FALSE(l.ok) << c.name;
    EXPECT_NE(l.reason.find(c.reason), std::string::npos) << c.name << ": " << l.reason;
    EXPECT_EQ(l.img.pixels, nullptr) << c.name;
  }
}

TEST(ImageStream, WidthZeroIsAnEmptyImageWithItsHeader) {
  Bytes b = header(Indexed8, 0x09, 0, 314, 256);
  b[2] = 0xAB;  // reserved bytes are kept as they were stored
  Loaded l = load(b);
  ASSERT_TRUE(l.ok) << l.reason;
  EXPECT_EQ(l.img.pixels, nullptr);
  EXPECT_EQ(l.img.format, Indexed8);
  EXPECT_EQ(l.img.flags, 0x09);
  EXPECT_EQ(l.img.reserved[0], 0xAB);
  EXPECT_EQ(l.img.width, 0u);
  EXPECT_EQ(l.img.height, 314u);
  EXPECT_EQ(l.img.paletteCount, 256);
  EXPECT_FALSE(image_is_valid(&l.img));
}

TEST(ImageStream, RawFormRoundTripsEveryFormat) {
  for (int32_t format = Mono1; format <= Rgb32; ++format) {
    const uint32_t palette[3] = {0x010203, 0x040506, 0xFF070809};
    Image img{};
    ASSERT_TRUE(image_allocate(&img, format, 13, 5, format == Indexed8 ? 3 : 0, palette, 4, 0));
    const Bytes pixels = pattern_rows(static_cast<size_t>(img.stride) * 5, static_cast<uint8_t>(format));
    std::memcpy(img.pixels, pixels.data(), pixels.size());
    base::MemStream s{};
    ASSERT_TRUE(image_save_stream(&img, &s, kStorageRaw));
    const Bytes stored(s.data, s.data + s.size);
    base::stream_release(&s);
    EXPECT_EQ(stored.size(), 16 + (format == Indexed8 ? 12u : 0u) + 2 + pixels.size());
    EXPECT_EQ(base::load_u16le(stored.data() + stored.size() - pixels.size() - 2), 0xFEDE);
    Loaded l = load(stored);
    ASSERT_TRUE(l.ok) << l.reason;
    EXPECT_EQ(l.img.format, format);
    EXPECT_EQ(transparency_mode(&l.img), 4);
    EXPECT_EQ(storage_mode(&l.img), 0);
    EXPECT_EQ(0, std::memcmp(l.img.pixels, pixels.data(), pixels.size()));
    if (format == Indexed8) {
      ASSERT_EQ(l.img.paletteCount, 3);
      EXPECT_EQ(l.img.palette[2], 0xFF070809u);
    }
    image_free(&l.img);
    image_free(&img);
  }
}

TEST(ImageStream, BlockFormsRoundTrip) {
  struct Case {
    int32_t storage;
    int32_t format, width, height;
    size_t blocks;
  };
  const Case cases[] = {
      {kStorageRowBlocks, Gray8, 40, 7, 7},
      {kStorageRowBlocks, Mono1, 9, 3, 3},
      {kStorageBandBlocks, Gray8, 40, 7, 1},
      {kStorageBandBlocks, Indexed8, 656, 100, 2},    // 65,600 bytes: 50 rows per block
      {kStorageBandBlocks, Rgb32, 300, 300, 6},       // 360,000 bytes: 300 / 6 = 50 rows per block
      {kStorageBandBlocks, Rgb32, 16383, 3, 3},       // a row of 65,532 bytes per block
  };
  for (const Case& c : cases) {
    Image img{};
    ASSERT_TRUE(image_allocate(&img, c.format, c.width, c.height, 0, nullptr, 0, 0));
    const size_t total = static_cast<size_t>(img.stride) * img.height;
    const Bytes pixels = pattern_rows(total, 3);
    std::memcpy(img.pixels, pixels.data(), total);
    // Long runs in the first row, so that some blocks are run-length coded.
    std::memset(img.pixels, 0x55, static_cast<size_t>(img.stride));
    base::MemStream s{};
    ASSERT_TRUE(image_save_stream(&img, &s, c.storage));
    const Bytes stored(s.data, s.data + s.size);
    base::stream_release(&s);
    size_t blocks = 0;
    for (size_t at = 16; at < stored.size(); ++blocks) {
      const uint16_t method = base::load_u16le(&stored[at]);
      at += 6 + (method == 0 ? base::load_u16le(&stored[at + 2]) : base::load_u16le(&stored[at + 4]));
    }
    EXPECT_EQ(blocks, c.blocks) << c.storage << " " << c.width;
    Loaded l = load(stored);
    ASSERT_TRUE(l.ok) << l.reason;
    EXPECT_EQ(storage_mode(&l.img), c.storage);
    EXPECT_EQ(0, std::memcmp(l.img.pixels, img.pixels, total));
    image_free(&l.img);
    image_free(&img);
  }
  EXPECT_EQ(band_rows_per_block(100, 655), 100);
  EXPECT_EQ(band_rows_per_block(100, 656), 50);
  EXPECT_EQ(band_rows_per_block(1, 70000), 0) << "a row longer than a block";
}

TEST(ImageStream, EveryBlockMethodReads) {
  for (uint16_t method : {0, 1, 2, 4, 8, 32, 64, 128}) {
    Bytes b = header(Gray8, kStorageRowBlocks, 50, 3, 0);
    Bytes expected;
    for (uint8_t row = 0; row < 3; ++row) {
      Bytes plain(50, row);
      for (size_t i = 20; i < 50; ++i) plain[i] = static_cast<uint8_t>(i * row);
      append(&b, block(method, plain));
      append(&expected, plain);
    }
    Loaded l = load(b);
    ASSERT_TRUE(l.ok) << method << ": " << l.reason;
    EXPECT_EQ(0, std::memcmp(l.img.pixels, expected.data(), expected.size())) << method;
    image_free(&l.img);
  }
}

TEST(ImageStream, BandBlocksHoldWholeRows) {
  // Rows per block is 4 here; a writer may also put fewer whole rows in a block.
  Bytes b = header(Gray8, 2, 10, 4, 0);
  append(&b, block(0, Bytes(20, 1)));
  append(&b, block(1, Bytes(20, 2)));
  Loaded l = load(b);
  ASSERT_TRUE(l.ok) << l.reason;
  EXPECT_EQ(l.img.pixels[39], 2);
  image_free(&l.img);

  Bytes partial = header(Gray8, 2, 10, 4, 0);
  append(&partial, block(0, Bytes(15, 1)));  // a row and a half
  append(&partial, block(0, Bytes(25, 1)));
  EXPECT_FALSE(load(partial).ok);
}

TEST(ImageStream, RecordTableRows) {
  struct Case {
    const char* name;
    Bytes table;
    int ok;
    Bytes expected;  // the 3 x 4 pixels
  };
  Bytes short_form;
  put32(&short_form, 2);  // two records of the table's size (the stride, 4)
  append(&short_form, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
  Bytes current;
  put16(&current, 0xFEDC);
  put16(&current, 12);
  put32(&current, 3);  // three records of 3 bytes: each padded to 4 with a zero
  put32(&current, 3);
  append(&current, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9});
  Bytes longer;
  put32(&longer, 4);  // a fourth row the image does not have
  append(&longer, Bytes(16, 9));
  Bytes empty;
  put32(&empty, 0);
  Bytes too_many;
  put32(&too_many, 8192);
  const Case cases[] = {
      {"short form, fewer rows padded", short_form, 1, {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0}},
      {"current form, shorter records", current, 1, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}},
      {"rows past the height are left out", longer, 1, Bytes(12, 9)},
      {"an empty table is all zero", empty, 1, Bytes(12, 0)},
      {"a table that cannot load fails the read", too_many, 0, {}},
  };
  for (const Case& c : cases) {
    Bytes b = header(Gray8, 0, 4, 3, 0);
    append(&b, c.table);
    Loaded l = load(b);
    EXPECT_EQ(l.ok, c.ok) << c.name << ": " << l.reason;
    if (l.ok) {
      EXPECT_EQ(0, std::memcmp(l.img.pixels, c.expected.data(), 12)) << c.name;
    }
    image_free(&l.img);
  }
}

TEST(ImageStream, EveryTruncationFailsCleanly) {
  Image img{};
  const uint32_t palette[2] = {0x10, 0x20};
  ASSERT_TRUE(image_allocate(&img, Indexed4, 21, 9, 2, palette, 0, 0));
  const Bytes pixels = pattern_rows(static_cast<size_t>(img.stride) * 9, 1);
  std::memcpy(img.pixels, pixels.data(), pixels.size());
  for (int32_t storage : {kStorageRaw, kStorageRowBlocks, kStorageBandBlocks}) {
    base::MemStream s{};
    ASSERT_TRUE(image_save_stream(&img, &s, storage));
    const Bytes stored(s.data, s.data + s.size);
    base::stream_release(&s);
    for (size_t n = 0; n < stored.size(); ++n) {
      Loaded l = load(stored, n);
      EXPECT_FALSE(l.ok) << storage << " cut at " << n;
      EXPECT_EQ(l.img.pixels, nullptr);
    }
    Loaded whole = load(stored);
    EXPECT_TRUE(whole.ok) << whole.reason;
    image_free(&whole.img);
  }
  image_free(&img);
}

TEST(ImageStream, LyingSizesAllocateNothing) {
  struct Case {
    const char* name;
    Bytes stream;
    const char* reason;
  };
  Bytes raw = header(Rgb32, 0, 65536, 65536, 0);
  put16(&raw, 0xFEDE);
  append(&raw, Bytes(100, 0));
  Bytes rows = header(Rgb32, 1, 1000, 65536, 0);
  append(&rows, block(0, Bytes(4000, 0)));
  Bytes bands = header(Gray8, 2, 65535, 65536, 0);
  append(&bands, block(0, Bytes(65535, 0)));
  Bytes table = header(Rgb32, 0, 65536, 65536, 0);
  put32(&table, 0);  // an empty table would pad 16 GiB of zeros
  Bytes table_rows = header(Rgb32, 0, 65536, 1, 0);
  put16(&table_rows, 0xFEDC);  // 4,000 records of 1 byte, each to be widened to 262,144
  put16(&table_rows, 12);
  put32(&table_rows, 4000);
  put32(&table_rows, 1);
  append(&table_rows, Bytes(4000, 0));
  Bytes wide_rows = header(Rgb32, 1, 16384, 2, 0);  // a row of 65,536 bytes fits no block
  append(&wide_rows, Bytes(200000, 0));
  const Case cases[] = {
      {"raw pixels the stream does not hold", raw, "pixels"},
      {"row blocks the stream does not hold", rows, "too short"},
      {"band blocks the stream does not hold", bands, "too short"},
      {"a padded table beyond the stream", table, "larger than its stream"},
      {"a table whose records widen beyond the stream", table_rows, "larger than its stream"},
      {"rows longer than a block", wide_rows, "longer than a block"},
  };
  for (const Case& c : cases) {
    const base::HeapStats before = base::heap_stats(0);
    Loaded l = load(c.stream);
    EXPECT_FALSE(l.ok) << c.name;
    EXPECT_NE(l.reason.find(c.reason), std::string::npos) << c.name << ": " << l.reason;
    EXPECT_EQ(base::heap_stats(0).bytes_in_use, before.bytes_in_use) << c.name;
  }
}

TEST(ImageStream, BlocksThatDoNotFitTheirRows) {
  struct Case {
    const char* name;
    Bytes blocks;
  };
  Bytes too_long = block(0, Bytes(11, 1));
  append(&too_long, block(0, Bytes(10, 1)));
  Bytes too_short = block(0, Bytes(9, 1));
  append(&too_short, block(0, Bytes(10, 1)));
  Bytes unknown = block(0, Bytes(10, 1));
  unknown[0] = 3;
  append(&unknown, block(0, Bytes(10, 1)));
  Bytes lying_rle = block(1, Bytes(10, 7));
  lying_rle[2] = 12;  // claims 12 unpacked bytes of 10-byte rows
  append(&lying_rle, block(0, Bytes(10, 1)));
  Bytes empty_block = {0, 0, 0, 0, 0, 0};
  append(&empty_block, block(0, Bytes(10, 1)));
  Bytes bad_zlib = block(32, Bytes(10, 1));
  bad_zlib[8] ^= 0xFF;
  append(&bad_zlib, block(0, Bytes(10, 1)));
  const Case cases[] = {
      {"block longer than its row", too_long},   {"block shorter than its row", too_short},
      {"unknown method", unknown},               {"run-length block of the wrong size", lying_rle},
      {"empty block", empty_block},              {"damaged zlib data", bad_zlib},
  };
  for (const Case& c : cases) {
    Bytes b = header(Gray8, 1, 10, 2, 0);
    append(&b, c.blocks);
    Loaded l = load(b);
    EXPECT_FALSE(l.ok) << c.name;
    EXPECT_EQ(l.img.pixels, nullptr) << c.name;
  }
}

TEST(ImageStream, LoadingReplacesWhatTheImageHeld) {
  Bytes b = header(Gray8, 0, 2, 2, 0);
  put16(&b, 0xFEDE);
  append(&b, Bytes{1, 2, 3, 4});
  base::MemStream s{};
  base::stream_open_memory(&s, b.data(), static_cast<int32_t>(b.size()));
  Image img{};
  ASSERT_TRUE(image_allocate(&img, Rgb32, 100, 100, 0, nullptr, 0, 0));
  ASSERT_TRUE(image_load_stream(&img, &s));
  EXPECT_EQ(img.format, Gray8);
  EXPECT_EQ(img.pixels[3], 4);
  EXPECT_EQ(base::stream_tell(&s), static_cast<int32_t>(b.size()));
  image_free(&img);
  base::stream_release(&s);
}

TEST(ImageStream, SaveRefusesWhatCannotBeStored) {
  Image img{};
  ASSERT_TRUE(image_allocate(&img, Rgb32, 20000, 1, 0, nullptr, 0, 0));
  base::MemStream s{};
  EXPECT_FALSE(image_save_stream(&img, &s, kStorageRowBlocks)) << "an 80,000-byte row";
  EXPECT_FALSE(image_save_stream(&img, &s, 3));
  base::stream_release(&s);
  image_free(&img);
}

}  // namespace
}  // namespace lumra::image
