// Field-by-field packing: the in-memory struct has padding, the on-disk record has none.
#include "framework/files/member_header.h"

#include <cstring>

#include "framework/base/bytes.h"

namespace lumra::files {

void header_store(const MemberHeader& h, uint8_t out[kHeaderSize]) {
  std::memcpy(out, h.name, kHeaderNameSize);
  base::store_u32le(out + 80, h.record_length);
  base::store_u32le(out + 84, h.unpacked_size);
  base::store_u32le(out + 88, h.dos_time);
  std::memcpy(out + 92, h.reserved, sizeof h.reserved);
  std::memcpy(out + 100, h.check, sizeof h.check);
}

void header_load(const uint8_t in[kHeaderSize], MemberHeader* h) {
  std::memcpy(h->name, in, kHeaderNameSize);
  h->record_length = base::load_u32le(in + 80);
  h->unpacked_size = base::load_u32le(in + 84);
  h->dos_time = base::load_u32le(in + 88);
  std::memcpy(h->reserved, in + 92, sizeof h->reserved);
  std::memcpy(h->check, in + 100, sizeof h->check);
}

bool header_set_name(MemberHeader* h, std::string_view name) {
  if (name.size() >= kHeaderNameSize) return false;
  std::memset(h->name, 0, kHeaderNameSize);
  std::memcpy(h->name, name.data(), name.size());
  return true;
}

void header_set_name_prefix(MemberHeader* h, std::string_view name) {
  header_set_name(h, name.substr(0, kHeaderNameSize - 1));
}

}  // namespace lumra::files
