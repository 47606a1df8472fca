// Resource packs: blocks of bytes linked into the program that hold numbered resources, pictures
// above all, and the program-wide list of registered packs. A pack is trusted data of the program
// itself; its records are read in place and copied out into a memory stream on each request.
// Reading pictures out of a pack (which needs the raster image) lives in image/picture_resource.h.
#pragma once

#include <cstdint>

#include "framework/base/dynarray.h"
#include "framework/base/memstream.h"

namespace lumra::base {

// Record layout (little-endian, unaligned): u32 total length with this header (0 ends the pack),
// u8 type, i32 identifier, then length - 9 payload bytes. Identifiers ascend through the pack.
inline constexpr uint32_t kPackRecordHeader = 9;
inline constexpr uint32_t kResourcePicture = 0;

struct ResourceEntry {
  int32_t id;
  uint32_t type;
  uint32_t offset;  // of the payload, from the start of the pack
  uint32_t size;
};

struct ResourcePack {
  DynArray entries;    // of ResourceEntry, in stored order
  const uint8_t* base; // the pack's first byte, also its identity in the list
  int32_t min_id;      // smallest non-zero identifier
  int32_t max_id;
};

// The global pack list: created empty before main and released after it returns.
DynArray* pack_list();
// Releases every pack record and the list (it is set up again by the next registration).
void packs_release();

// Registers the pack at `pack` (a pack registered before under the same pointer is replaced).
// 0 when a record is shorter than its own header or memory runs out.
int pack_register(const void* pack);
// The payload of resource `id` of `type`, copied into `out` (its old contents dropped) with the
// position at 0. Only the first registered pack whose identifier range reaches `id` is searched.
int pack_find(int32_t id, uint32_t type, MemStream* out);
// Copies the first 16 bytes of picture `id` into `header` (0 when the payload is shorter); with
// `header` null only tests that the picture exists.
int pack_read_picture_header(void* header, int32_t id);

}  // namespace lumra::base
