// LZW with 8-bit symbols for packed blocks and TIFF: MSB-first codes, early width change.
// The decoder trusts nothing in its input: every code is checked against the table, every copy
// against the output capacity, and the table never grows past what the output can use.
#include "framework/base/lzw.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"

namespace lumra::base {
namespace {

constexpr uint32_t kClearCode = 256;
constexpr uint32_t kEndCode = 257;
constexpr uint32_t kFirstFreeCode = 258;
constexpr int kFirstWidth = 9;

// The decoder's table grows in steps of this many entries.
constexpr size_t kTableStep = 8192;
// A width needs a table of about 2^(width - 1) entries, so real input stops far below this; the
// limit only keeps the 64-bit bit reader defined on input that claims otherwise.
constexpr int kMaxDecodeWidth = 56;

// The encoder's dictionary: codes 258..2047, then a clear code. The decoder only ever learns
// codes up to 2046 from such a stream (it adds each entry one code later), so every data code
// fits in 11 bits and only the clear and end codes may need 12.
constexpr uint32_t kEncodeTableSize = 2048;
constexpr int kEncodeHashBits = 11;
constexpr int kMaxEncodeDataWidth = 11;
constexpr int kMaxEncodeControlWidth = 12;
constexpr uint32_t kEncodeCodesPerTable = kEncodeTableSize - kFirstFreeCode;

// A table string: `length` bytes at `offset` in the output already written. Offsets fit 32 bits
// for every output below 4 GiB, which halves the table and keeps it in cache.
template <class Offset>
struct Entry {
  Offset offset;
  Offset length;
};

// Strings are short, and a call to memcpy per code costs more than the copy. Whole 16-byte
// moves (single vector loads and stores) are used instead wherever the bytes they touch past
// the string still lie inside the output capacity.
constexpr size_t kChunk = 16;

inline void copy_chunk(uint8_t* dst, const uint8_t* src) {
  uint8_t t[kChunk];
  std::memcpy(t, src, kChunk);
  std::memcpy(dst, t, kChunk);
}

// The early-change rule: once the next free code plus one needs `width + 1` bits, the next code
// is read with one more bit.
inline bool width_grows(uint64_t next_free, int width) { return ((next_free + 1) >> width) & 1; }

// Unread input bits. Codes are packed most significant bit first (TIFF 6.0 and the packed
// blocks) or, in TIFF files written before 6.0, least significant bit first.
template <bool kLsbFirst>
struct BitReader {
  const uint8_t* ip;
  const uint8_t* end;
  uint64_t bits = 0;  // MSB first: the low bit_count bits, oldest highest; LSB first: oldest lowest
  int bit_count = 0;

  // The next code of `width` bits (at most kMaxDecodeWidth), or false when the input ends first.
  inline bool next(int width, uint64_t* code) {
    if (bit_count < width) {
      if (end - ip >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, ip, 8);
        // bit_count < width <= 56, so between 1 and 7 whole bytes fit.
        const int take = (63 - bit_count) >> 3;
        if constexpr (kLsbFirst) {
          if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
          bits |= (word & ((uint64_t{1} << (take * 8)) - 1)) << bit_count;
        } else {
          if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
          bits = (bits << (take * 8)) | (word >> (64 - take * 8));
        }
        bit_count += take * 8;
        ip += take;
      } else {
        while (bit_count <= 56 && ip < end) {
          if constexpr (kLsbFirst) {
            bits |= uint64_t{*ip++} << bit_count;
          } else {
            bits = (bits << 8) | *ip++;
          }
          bit_count += 8;
        }
        if (bit_count < width) return false;
      }
    }
    const uint64_t mask = (uint64_t{1} << width) - 1;
    bit_count -= width;
    if constexpr (kLsbFirst) {
      *code = bits & mask;
      bits >>= width;
    } else {
      *code = (bits >> bit_count) & mask;
    }
    return true;
  }
};

// The next free code at which the code width grows: one code early when MSB first (the next
// free code plus one needs the wider width), at the power of two itself in the old LSB form.
template <bool kLsbFirst>
constexpr uint64_t width_step(int width) {
  return (uint64_t{1} << width) - (kLsbFirst ? 0 : 1);
}

// The decoder keeps one entry per code from 258 on: the string's place in the output and its
// length. A literal is written at once; a table code copies its string from the output already
// written. Each code but the first after a clear defines the previous string plus the first byte
// of its own, which lands right behind the previous one, so the entry is known before the copy.
template <bool kLsbFirst, class Offset>
bool decode_with(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written) {
  // Every code after the first of a clear run adds an entry and writes at least one byte, so the
  // entries in use never pass 258 + out_capacity; the codes the input holds bound them too.
  const uint64_t max_codes =
      in_size > UINT64_MAX / 8 ? UINT64_MAX : static_cast<uint64_t>(in_size) * 8 / kFirstWidth;
  uint64_t useful = out_capacity < max_codes ? out_capacity : max_codes;
  useful = useful > UINT64_MAX / 2 ? UINT64_MAX / 2 : useful + kFirstFreeCode + 1;

  size_t table_size = useful < kTableStep ? static_cast<size_t>(useful) : kTableStep;
  auto* table = static_cast<Entry<Offset>*>(heap_alloc(table_size * sizeof(Entry<Offset>)));
  if (!table) {
    *written = 0;
    return fail("LZW table allocation failed");
  }

  BitReader<kLsbFirst> reader{in, in + in_size};
  uint8_t* op = out;
  uint8_t* const out_end = out + out_capacity;
  const char* failure = nullptr;
  uint64_t code = 0;
  int width = kFirstWidth;
  uint64_t next_free = kFirstFreeCode;
  uint64_t limit = 0;  // the next free code at which the width or the table must grow
  size_t previous_length = 0;

  // The first code read is taken as a clear code, whatever its value.
  if (!reader.next(width, &code)) {
    failure = "LZW code ends before its end code";
    goto done;
  }
  for (;;) {
    // After a clear: the first code is a literal (or another clear, or the end), defining nothing.
    width = kFirstWidth;
    next_free = kFirstFreeCode;
    do {
      if (!reader.next(width, &code)) {
        failure = "LZW code ends before its end code";
        goto done;
      }
    } while (code == kClearCode);
    if (code == kEndCode) goto finished;
    if (code >= kFirstFreeCode) {
      failure = "LZW code refers to an entry not yet defined";
      goto done;
    }
    if (op == out_end) {
      failure = "LZW output passes its capacity";
      goto done;
    }
    *op++ = static_cast<uint8_t>(code);
    previous_length = 1;
    limit = std::min<uint64_t>(width_step<kLsbFirst>(width), table_size);

    for (;;) {
      if (!reader.next(width, &code)) {
        failure = "LZW code ends before its end code";
        goto done;
      }
      if (code < 256) {
        if (op == out_end) {
          failure = "LZW output passes its capacity";
          goto done;
        }
        table[next_free] = {static_cast<Offset>(op - out - previous_length), static_cast<Offset>(previous_length + 1)};
        *op++ = static_cast<uint8_t>(code);
        previous_length = 1;
      } else if (code >= kFirstFreeCode) {
        if (code > next_free) {
          failure = "LZW code above the next free code";
          goto done;
        }
        table[next_free] = {static_cast<Offset>(op - out - previous_length), static_cast<Offset>(previous_length + 1)};
        const Entry<Offset> entry = table[code];
        const uint8_t* const from = out + entry.offset;
        const size_t length = entry.length;
        const auto room = static_cast<size_t>(out_end - op);
        if (length + kChunk <= room) {
          // Chunk by chunk, each loaded before it is stored: the string's own bytes all lie below
          // op, so stores (at op and up) never change a byte still to be read. Past the string the
          // chunks carry junk, which later strings overwrite or which lies past the end written.
          copy_chunk(op, from);
          for (size_t k = kChunk; k < length; k += kChunk) copy_chunk(op + k, from + k);
          // The code just defined (KwKwK) is the previous string followed by its own first byte;
          // that last byte was read from op itself, before anything was stored there.
          if (code == next_free) op[length - 1] = from[0];
        } else if (length > room) {
          // The first `length - 1` bytes of a string never overlap its destination, so the bytes
          // that fit copy safely; TIFF shows partial strips.
          if (room) std::memcpy(op, from, room);
          op += room;
          failure = "LZW output passes its capacity";
          goto done;
        } else {
          // The last byte separately: for KwKwK it is the first byte, just written at op.
          std::memcpy(op, from, length - 1);
          op[length - 1] = from[length - 1];
        }
        op += length;
        previous_length = length;
      } else if (code == kClearCode) {
        break;
      } else {
        goto finished;
      }
      if (++next_free >= limit) {
        if (next_free == width_step<kLsbFirst>(width) && ++width > kMaxDecodeWidth) {
          failure = "LZW code width beyond the decoder's reach";
          goto done;
        }
        if (next_free >= table_size) {
          if (table_size >= useful) {
            // No room for another entry: only a clear or the end code may follow.
            if (!reader.next(width, &code)) {
              failure = "LZW code ends before its end code";
              goto done;
            }
            if (code == kEndCode) goto finished;
            if (code != kClearCode) {
              failure = "LZW table outgrows the output";
              goto done;
            }
            break;
          }
          const uint64_t wanted = table_size + kTableStep;
          const size_t grown = static_cast<size_t>(wanted < useful ? wanted : useful);
          size_t grown_bytes = 0;
          Entry<Offset>* bigger = nullptr;
          if (checked_mul(grown, sizeof(Entry<Offset>), &grown_bytes)) {
            bigger = static_cast<Entry<Offset>*>(heap_realloc(table, grown_bytes));
          }
          if (!bigger) {
            failure = "LZW table cannot grow";
            goto done;
          }
          table = bigger;
          table_size = grown;
        }
        limit = std::min<uint64_t>(width_step<kLsbFirst>(width), table_size);
      }
    }
  }

finished:
  heap_free(table);
  *written = static_cast<size_t>(op - out);
  return true;

done:
  heap_free(table);
  *written = static_cast<size_t>(op - out);
  return fail(failure);
}

// MSB-first bit writer for the encoder; all-or-nothing, like the encoder.
struct BitWriter {
  uint8_t* out;
  size_t capacity;
  size_t pos;
  uint64_t bits;
  int bit_count;
  bool overflow;
};

inline void put_code(BitWriter& w, uint32_t code, int width) {
  w.bits = (w.bits << width) | code;
  w.bit_count += width;
  while (w.bit_count >= 8) {
    w.bit_count -= 8;
    if (w.pos == w.capacity) {
      w.overflow = true;
      return;
    }
    w.out[w.pos++] = static_cast<uint8_t>(w.bits >> w.bit_count);
  }
}

inline void finish_bits(BitWriter& w) {
  if (w.bit_count == 0 || w.overflow) return;
  if (w.pos == w.capacity) {
    w.overflow = true;
    return;
  }
  w.out[w.pos++] = static_cast<uint8_t>(w.bits << (8 - w.bit_count));
  w.bit_count = 0;
}

// The encoder writes each code at the width the decoder will read it with, so it follows the
// decoder's next free code, which lags its own dictionary by one code.
struct DecoderMirror {
  uint32_t next_free;
  int width;
  bool have_previous;
};

inline void emit(BitWriter& w, DecoderMirror& d, uint32_t code) {
  put_code(w, code, d.width);
  if (code == kClearCode) {
    d = DecoderMirror{kFirstFreeCode, kFirstWidth, false};
    return;
  }
  if (d.have_previous) {
    ++d.next_free;
    if (width_grows(d.next_free, d.width)) ++d.width;
  }
  d.have_previous = true;
}

// Chained hash dictionary over the codes 258..2047: head[] per hash, next[] per code.
struct Dictionary {
  uint16_t head[kEncodeTableSize];
  uint16_t next[kEncodeTableSize];
  uint16_t prefix[kEncodeTableSize];
  uint8_t suffix[kEncodeTableSize];
};

constexpr uint16_t kNoCode = 0;  // codes below 258 are never dictionary entries

inline uint32_t hash_of(uint32_t prefix, uint8_t suffix) {
  return ((prefix << 8 | suffix) * 2654435761u) >> (32 - kEncodeHashBits);
}

}  // namespace

bool lzw_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written) {
  size_t sink = 0;
  if (!written) written = &sink;
  if (out_capacity <= UINT32_MAX - kFirstFreeCode) {
    return decode_with<false, uint32_t>(in, in_size, out, out_capacity, written);
  }
  return decode_with<false, uint64_t>(in, in_size, out, out_capacity, written);
}

bool lzw_decode_lsb_first(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written) {
  size_t sink = 0;
  if (!written) written = &sink;
  if (out_capacity <= UINT32_MAX - kFirstFreeCode) {
    return decode_with<true, uint32_t>(in, in_size, out, out_capacity, written);
  }
  return decode_with<true, uint64_t>(in, in_size, out, out_capacity, written);
}

bool lzw_encode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written) {
  size_t sink = 0;
  if (!written) written = &sink;
  *written = 0;
  BitWriter w{out, out_capacity, 0, 0, 0, false};
  DecoderMirror d{kFirstFreeCode, kFirstWidth, false};
  emit(w, d, kClearCode);

  if (in_size > 0) {
    Dictionary dict;
    std::memset(dict.head, 0, sizeof dict.head);
    uint32_t next_code = kFirstFreeCode;
    uint32_t current = in[0];
    for (size_t i = 1; i < in_size && !w.overflow; ++i) {
      const uint8_t byte = in[i];
      const uint32_t h = hash_of(current, byte);
      uint32_t found = dict.head[h];
      while (found != kNoCode && (dict.prefix[found] != current || dict.suffix[found] != byte)) {
        found = dict.next[found];
      }
      if (found != kNoCode) {
        current = found;
        continue;
      }
      emit(w, d, current);
      dict.prefix[next_code] = static_cast<uint16_t>(current);
      dict.suffix[next_code] = byte;
      dict.next[next_code] = dict.head[h];
      dict.head[h] = static_cast<uint16_t>(next_code);
      if (++next_code == kEncodeTableSize) {
        emit(w, d, kClearCode);
        std::memset(dict.head, 0, sizeof dict.head);
        next_code = kFirstFreeCode;
      }
      current = byte;
    }
    emit(w, d, current);
  }
  emit(w, d, kEndCode);
  finish_bits(w);
  if (w.overflow) return fail("LZW code does not fit");
  *written = w.pos;
  return true;
}

// Data codes are at most 11 bits and each covers at least one input byte; clear codes (one per
// 1,790 data codes, plus the first) and the end code take at most 12 bits each.
size_t lzw_encode_bound(size_t n) {
  const uint64_t controls = uint64_t{n} / kEncodeCodesPerTable + 2;
  uint64_t bits = 0;
  if (!checked_mad(uint64_t{n}, uint64_t{kMaxEncodeDataWidth}, controls * kMaxEncodeControlWidth, &bits)) {
    return SIZE_MAX;
  }
  return static_cast<size_t>(bits / 8 + (bits % 8 != 0));
}

// How far B = 8 * in_size bits of code can expand.
//
// Between two clear codes (the first code read counts as one), the j-th code defines no string
// longer than j, so a run of L codes writes at most T(L) = L(L+1)/2 bytes; the chain 'a', 258,
// 259, ... reaches it. The j-th code of a run is read with w(j) = bit length of (257 + j) bits
// (9 for j <= 254, 10 up to 766, 11 up to 1790, ...), so a run costs c(L) = w(1) + ... + w(L)
// bits plus at least 9 for the clear code in front of it. In the old LSB-first form the width
// grows one code later, w(j) = bit length of (256 + j), and the same argument holds.
//
// The ratio T(L) / (c(L) + 9) never falls as L grows: that needs 2(c(L) + 9) >= L w(L + 1),
// tightest where the width steps up, and there the left side is still over 1.7 times the right
// for every width up to 61 bits. So every run of a stream yields at most that ratio, taken at
// the longest run that fits, m, per bit it costs:
//   output <= T(m) * B / (c(m) + 9),   m the largest L with c(L) + 9 <= B.
// That is at most one code's worth above T(m), which a single run of m codes reaches.
namespace {

uint64_t max_expansion(size_t in_size, uint64_t band_offset) {
  // Past 2^60 bytes the bound is far beyond 2^64.
  if (uint64_t{in_size} > (uint64_t{1} << 60)) return UINT64_MAX;
  const uint64_t budget = uint64_t{in_size} * 8;
  if (budget < 2 * kFirstWidth) return 0;
  // Walk the width bands: codes j with w(j) = width run up to j = 2^width - 258 (MSB first)
  // or 2^width - 257 (LSB first).
  uint64_t cost = kFirstWidth;  // the clear code in front
  uint64_t codes = 0;
  for (uint64_t width = kFirstWidth;; ++width) {
    const uint64_t band_count = (uint64_t{1} << width) - band_offset - codes;
    const uint64_t affordable = (budget - cost) / width;
    if (affordable < band_count) {
      codes += affordable;
      cost += affordable * width;
      break;
    }
    codes += band_count;
    cost += band_count * width;
  }
  // T(m) first; where it overflows, so does the bound. Below that, cost < 2^40 and the
  // leftover bits are fewer than one code's width, so nothing after overflows either.
  uint64_t triangle = 0;
  if (!checked_mul(codes % 2 == 0 ? codes / 2 : codes, codes % 2 == 0 ? codes + 1 : (codes + 1) / 2, &triangle)) {
    return UINT64_MAX;
  }
  const uint64_t leftover = budget - cost;
  const uint64_t extra = triangle / cost * leftover + triangle % cost * leftover / cost;
  uint64_t result = 0;
  return checked_add(triangle, extra, &result) ? result : UINT64_MAX;
}

}  // namespace

uint64_t lzw_max_expansion(size_t in_size) { return max_expansion(in_size, kFirstFreeCode); }
uint64_t lzw_lsb_first_max_expansion(size_t in_size) { return max_expansion(in_size, kFirstFreeCode - 1); }

}  // namespace lumra::base
