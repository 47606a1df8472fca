// The 110-byte member record header: the native archive's on-disk member header and, for zip
// members too, the description the archive command hands to its progress callback.
// Little-endian on disk; the struct is the unpacked form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "framework/base/error.h"

namespace lumra::files {

inline constexpr size_t kHeaderSize = 110;
inline constexpr size_t kHeaderNameSize = 80;  // zero-terminated: at most 79 characters

struct MemberHeader {
  char name[kHeaderNameSize];  // "\" separated in the native format
  uint32_t record_length;      // native: header plus stored blocks; zip: compressed size
  uint32_t unpacked_size;
  uint32_t dos_time;           // packed DOS date and time
  uint8_t reserved[8];         // zero
  uint8_t check[10];           // zero in a plain header
};

void header_store(const MemberHeader& h, uint8_t out[kHeaderSize]);
void header_load(const uint8_t in[kHeaderSize], MemberHeader* h);

// What asking an archive of either format for its next member gives: a member (its header and
// name loaded), the end of the members, or an error (with a reason recorded).
enum class MemberStep { kMember, kEnd, kError };
// The error step, for one-statement failures: return error_step(failf("...", ...));
inline MemberStep error_step(base::Failure) { return MemberStep::kError; }

// A size as a 32-bit header field holds it: 0xFFFFFFFF when it does not fit (the true size is
// then carried beside the header).
inline uint32_t header_size_field(uint64_t size) { return size < 0xFFFFFFFF ? static_cast<uint32_t>(size) : 0xFFFFFFFF; }

// Sets the name when it fits (at most 79 bytes); false otherwise, the header unchanged.
bool header_set_name(MemberHeader* h, std::string_view name);
// Sets the first 79 bytes of a name that is carried in full elsewhere.
void header_set_name_prefix(MemberHeader* h, std::string_view name);

}  // namespace lumra::files
