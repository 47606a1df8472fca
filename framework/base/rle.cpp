// Run-length code of the framework's packed blocks, also read as TIFF PackBits.
// The decoder keeps whatever fits when it fails, because TIFF shows partial strips; the encoder
// is all-or-nothing, because the block writer then stores the block unpacked. The decoder may
// scribble on output bytes past what it reports written, never past the capacity.
#include "framework/base/rle.h"

#include <cstring>

#include "framework/base/checked.h"
#include "framework/base/error.h"

namespace lumra::base {
namespace {

constexpr size_t kMaxLiteral = 128;
// The decoder accepts control 128 (a run of 129); the encoder's runs stop at 127, as the
// packed-block format defines them.
constexpr size_t kMaxRepeatEncoded = 127;
// A run of 3 coded as a repeat would cost 2 bytes plus, usually, a new literal control byte:
// no gain, so runs shorter than 4 stay in the literal run.
constexpr size_t kMinRepeatEncoded = 4;
constexpr uint64_t kMaxRepeatDecoded = 129;

// Most runs are short, and a call to memcpy or memset per run costs more than the run. Whole
// 16-byte moves (single vector loads and stores) are used instead wherever the bytes they touch
// past the run still lie inside the input and the output capacity.
constexpr size_t kChunk = 16;

inline void copy_chunk(uint8_t* dst, const uint8_t* src) {
  uint8_t t[kChunk];
  std::memcpy(t, src, kChunk);
  std::memcpy(dst, t, kChunk);
}

inline size_t round_up_chunk(size_t n) { return (n + kChunk - 1) & ~(kChunk - 1); }

}  // namespace

bool rle_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written) {
  size_t sink = 0;
  if (!written) written = &sink;
  size_t ip = 0;
  size_t op = 0;
  while (ip < in_size && op < out_capacity) {
    const uint8_t control = in[ip++];
    const size_t room = out_capacity - op;
    if (control < 128) {
      const size_t count = size_t{control} + 1;
      const size_t available = in_size - ip;
      const size_t span = round_up_chunk(count);
      if (span <= available && span <= room) {
        for (size_t k = 0; k < count; k += kChunk) copy_chunk(out + op + k, in + ip + k);
        ip += count;
        op += count;
        continue;
      }
      size_t take = count < available ? count : available;
      if (take > room) take = room;
      if (take) std::memcpy(out + op, in + ip, take);
      ip += take;
      op += take;
      if (take < count) {
        *written = op;
        return fail(take == available ? "run-length literal run cut short by the end of the input"
                                       : "run-length literal run passes the output capacity");
      }
    } else {
      if (ip == in_size) {
        *written = op;
        return fail("run-length repeat run lacks its byte");
      }
      const uint8_t value = in[ip++];
      const size_t count = 257 - size_t{control};
      if (round_up_chunk(count) <= room) {
        uint8_t pattern[kChunk];
        std::memset(pattern, value, kChunk);
        for (size_t k = 0; k < count; k += kChunk) std::memcpy(out + op + k, pattern, kChunk);
        op += count;
        continue;
      }
      const size_t take = count < room ? count : room;
      std::memset(out + op, value, take);
      op += take;
      if (take < count) {
        *written = op;
        return fail("run-length repeat run passes the output capacity");
      }
    }
  }
  *written = op;
  return true;
}

bool rle_encode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written) {
  size_t sink = 0;
  if (!written) written = &sink;
  *written = 0;
  size_t op = 0;
  size_t literal_start = 0;
  size_t literal_len = 0;

  // Flushing first checks the whole run fits, so a failure never leaves a half-written run
  // behind (the caller discards the output anyway; this only keeps the bounds obvious).
  auto flush_literal = [&]() -> bool {
    if (literal_len == 0) return true;
    if (out_capacity - op < literal_len + 1) return false;
    out[op++] = static_cast<uint8_t>(literal_len - 1);
    std::memcpy(out + op, in + literal_start, literal_len);
    op += literal_len;
    literal_len = 0;
    return true;
  };

  size_t i = 0;
  while (i < in_size) {
    const uint8_t value = in[i];
    size_t run = 1;
    while (run < kMaxRepeatEncoded && i + run < in_size && in[i + run] == value) ++run;
    if (run >= kMinRepeatEncoded) {
      if (!flush_literal() || out_capacity - op < 2) return fail("run-length code does not fit");
      out[op++] = static_cast<uint8_t>(257 - run);
      out[op++] = value;
      i += run;
      continue;
    }
    for (size_t k = 0; k < run; ++k) {
      if (literal_len == 0) literal_start = i;
      ++literal_len;
      ++i;
      if (literal_len == kMaxLiteral && !flush_literal()) return fail("run-length code does not fit");
    }
  }
  if (!flush_literal()) return fail("run-length code does not fit");
  *written = op;
  return true;
}

// Only literal runs cost more than their input: one control byte per 128 bytes. A repeat run
// (at least 4 bytes into 2) pays for the extra literal control byte it may cause after it.
size_t rle_encode_bound(size_t n) {
  const size_t controls = n / kMaxLiteral + (n % kMaxLiteral != 0);
  size_t bound = 0;
  return checked_add(n, controls, &bound) ? bound : SIZE_MAX;
}

// The densest code is a string of 2-byte repeat runs of 129; a trailing odd byte adds nothing
// (a control without data writes nothing), and a literal never beats 129 bytes per 2.
uint64_t rle_max_expansion(size_t in_size) {
  const uint64_t pairs = in_size / 2;
  return pairs > UINT64_MAX / kMaxRepeatDecoded ? UINT64_MAX : pairs * kMaxRepeatDecoded;
}

}  // namespace lumra::base
