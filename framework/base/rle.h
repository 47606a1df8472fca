// The framework's run-length code (packed-block method 1, also TIFF PackBits on read).
// Control byte c < 128: c + 1 literal bytes follow. c >= 128: the next byte repeats 257 - c times.
// Neither direction reads past its input or writes past its output capacity.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::base {

// Decodes until the input is used up or the output is full (both success). A copy or repeat
// that would pass the output capacity, a literal run cut short by the end of the input, or a
// repeat control with no byte after it fails; the bytes that fit are written all the same and
// counted in *written. Output bytes past *written but within out_capacity may be overwritten.
bool rle_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written);

// Literal runs of 1 to 128 bytes and repeat runs of 4 to 127 equal bytes. Fails (written 0)
// when the code would not fit in out_capacity.
bool rle_encode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written);

// Output capacity that always suffices for rle_encode of n bytes.
size_t rle_encode_bound(size_t n);

// Most bytes any run-length code of in_size bytes can expand to.
uint64_t rle_max_expansion(size_t in_size);

}  // namespace lumra::base
