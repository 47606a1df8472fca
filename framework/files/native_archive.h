// The framework's native archive format: a plain run of member records (110-byte header, then the
// data in blocks of up to 16,384 bytes behind 6-byte block headers), with optional one-byte-key
// scrambling of headers and block data. Reading trusts nothing in the file: every length is
// checked against the record and the archive before it is used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "framework/base/archive_block.h"
#include "framework/base/owned.h"
#include "framework/files/member_header.h"

namespace lumra::files {

// The block layout and methods are base's (framework/base/archive_block.h): serialised images
// store their rows in the same blocks.
using base::kBlockHeaderSize;
using base::kBlockLzw;
using base::kBlockRunLength;
using base::kBlockStored;
using base::kBlockZlibBest;
using base::kBlockZlibDefault;
using base::kBlockZlibFast;

inline constexpr size_t kBlockSize = 16384;
inline constexpr size_t kWorkBufferSize = 16392;

// Writer value: copy a block read by native_read_raw_block as it is, header included.
inline constexpr int kWriterRaw = 16;

// Native records use 32-bit offsets: an archive being edited must stay below 2 GiB.
inline constexpr uint64_t kMaxNativeArchive = uint64_t{1} << 31;

// The 256 scrambling values (low byte used), a permutation of 0-255: no run of equal values can
// make a scrambled header's check bytes look plain.
extern const std::array<uint32_t, 256> kScrambleTable;
// The first min(n, 12) bytes are XORed with key ^ table[i]; every later byte with
// key ^ table[(s + i) & 255], s being the sum of those first bytes in scrambled form. Key 0 does
// nothing.
void scramble(uint8_t* buffer, size_t n, uint8_t key);
void unscramble(uint8_t* buffer, size_t n, uint8_t key);

// An open native archive, closed with its owner.
struct NativeReader {
  base::OwnedFile file;
  uint8_t key = 0;            // set to 0 by the first plain header met
  uint64_t file_size = 0;
  uint64_t next_record = 0;   // where the next header is read
  uint64_t record_start = 0;  // current record
  uint64_t record_end = 0;
  uint64_t block_pos = 0;     // next block of the current record
  uint32_t unpacked_left = 0;
};

// Opens `path` with stdio `mode` ("rb" or "rb+"). 1 or 0 with a reason.
int native_open(NativeReader* r, const char* path, uint8_t key, const char* mode);
// Reads the open stream `f` (from its start), which the reader then owns. 1 or 0 with a reason
// (`f` is then still the caller's).
int native_attach(NativeReader* r, std::FILE* f, uint8_t key);

// Reads the header of the next record. End: end of file, a header cut short, one whose check
// bytes stay nonzero after unscrambling, or whose name begins below 32. Error (with a reason): a
// name without its terminating zero, a record length below 110 or past the end of the archive.
MemberStep native_next(NativeReader* r, MemberHeader* h);

// Decodes the next block of the current member into `out` (room for kBlockSize bytes), using
// `scratch` (kWorkBufferSize bytes). 1 with *produced > 0, or 0 with a reason; after a failure
// the reader still stands before the block, so it can be read again.
int native_read_block(NativeReader* r, uint8_t* out, uint8_t* scratch, uint32_t* produced);

// The next block as stored, block header included, its data re-scrambled from the reader's key
// to `target_key`: *length bytes in `out` (room for kBlockHeaderSize + 65535). *unpacked receives
// the block's unpacked length. 1 or 0 as above.
int native_read_raw_block(NativeReader* r, uint8_t target_key, uint8_t* out, uint32_t* length, uint32_t* unpacked);

// Writes the header, scrambled with `key` when nonzero (the caller's copy stays plain).
int native_write_header(std::FILE* f, const MemberHeader& h, uint8_t key);

// Encodes `n` bytes (1 to kBlockSize) by writer value `value` (0 store; 2 LZW; odd: run-length,
// then zlib by the flags 128, 32, 64 where it does better; even: zlib alone by those flags;
// kWriterRaw: `data` is a raw block from native_read_raw_block) and writes block header and data.
// *stored_total grows by the bytes written. 1 or 0.
int native_write_block(std::FILE* f, const uint8_t* data, uint32_t n, int value, uint8_t key, uint32_t* stored_total);

// The in-place deletion: `decide` is asked about every record (1 delete, 0 keep, -1 abort). All
// questions come before the first byte moves, so an abort or a damaged record leaves the file as
// it was; kept records then move down and the file is cut. Bytes after the last readable record
// are kept. *deleted counts the records removed.
using RecordDecision = int (*)(void* context, const MemberHeader& h);
int native_delete_in_place(const char* path, uint8_t key, RecordDecision decide, void* context, uint32_t* deleted);
// The same on an archive open for reading and writing, which stays open.
int native_delete_in_stream(std::FILE* stream, uint8_t key, RecordDecision decide, void* context, uint32_t* deleted);

}  // namespace lumra::files
