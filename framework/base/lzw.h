// LZW with 8-bit symbols: the early-change, most-significant-bit-first code stream of TIFF
// (clear 256, end 257, first free code 258, widths growing from 9 bits one code early), and for
// reading only the form of TIFF files written before TIFF 6.0: codes least significant bit first,
// widths growing when the next free code reaches the power of two.
// Strings are kept as (offset, length) into the output already written; the decoder's table
// never grows past what its output capacity can use.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::base {

// Decodes until the end code. The first code read is taken as a clear code. Fails on a code
// above the next free code, on output that would pass out_capacity, on input that ends before
// the end code, or when the table cannot grow; *written counts the bytes written either way.
// Output bytes past *written but within out_capacity may be overwritten.
bool lzw_decode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written);
// The same for the old LSB-first form.
bool lzw_decode_lsb_first(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written);

// Writes clear, the codes, and the end code; the dictionary is reset with a clear code when it
// fills (2,048 codes). Fails (written 0) when the code would not fit in out_capacity.
bool lzw_encode(const uint8_t* in, size_t in_size, uint8_t* out, size_t out_capacity, size_t* written);

// Output capacity that always suffices for lzw_encode of n bytes.
size_t lzw_encode_bound(size_t n);

// Most bytes any LZW code of in_size bytes can expand to.
uint64_t lzw_max_expansion(size_t in_size);
uint64_t lzw_lsb_first_max_expansion(size_t in_size);

}  // namespace lumra::base
