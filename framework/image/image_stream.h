// Serialised images in memory streams: the 16-byte header (the record's first 16 bytes), the
// palette, then the pixels raw behind the marker 0xFEDE or as a record table of rows (storage
// mode 0), or in native archive blocks, one per row (1) or bands of whole rows (-2).
// Streams are untrusted: nothing is read past them, nothing allocated beyond what they can deliver.
#pragma once

#include <cstdint>

#include "framework/base/memstream.h"
#include "framework/image/image.h"

namespace lumra::image {

// Header bounds of serialised images.
inline constexpr uint32_t kMaxStreamSide = 0x100000;
inline constexpr int32_t kMaxStreamPalette = 256;
inline constexpr uint16_t kRawMarker = 0xFEDE;
// No block method makes more than this many bytes of one stored byte (deflate's limit; run-length
// and LZW blocks of at most 65,535 bytes stay far below). A stream is trusted for at most this
// many pixel bytes per byte it still holds, before anything is allocated for it.
inline constexpr int64_t kMaxBlockExpansion = 1032;
// Largest unpacked length of one block (a 16-bit field).
inline constexpr int64_t kMaxBlockBytes = 65535;

// The stored header: format at 0, flags at 1, the reserved bytes at 2, width at 6, height at 10
// and paletteCount at 14, little-endian. Load copies those fields into `img` and nothing else.
void image_header_store(const Image* img, uint8_t out[kHeaderSize]);
void image_header_load(const uint8_t in[kHeaderSize], Image* img);

// Rows per block in storage mode -2: height / (height * stride / 65536 + 1); 0 when a row is too
// long for any block.
int64_t band_rows_per_block(int64_t height, int64_t stride);

// Reads a serialised image into `img` (released first). 1, or 0 with a reason and `img` empty.
// A width of 0 gives an empty image holding the 16 header bytes.
int image_load_stream(Image* img, base::MemStream* s);

// Writes `img` at the stream's position in storage mode 0 (raw), 1 or -2 (blocks, each run-length
// coded when that is shorter, else stored); the header records the mode. 1 or 0 with a reason.
int image_save_stream(const Image* img, base::MemStream* s, int32_t storage);

}  // namespace lumra::image
