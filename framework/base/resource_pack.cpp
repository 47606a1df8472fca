// The pack list and the pack reader. A pack is read through an unbounded view of its bytes, as
// data linked into the program deserves; a record that claims less than its own header ends
// registration with a failure rather than walking backwards.
#include "framework/base/resource_pack.h"

#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"

namespace lumra::base {
namespace {

struct PackList {
  DynArray packs;  // of ResourcePack
};
PackList g_list;

// The list exists from before main until after it returns.
struct ListLifetime {
  ListLifetime() { array_setup(&g_list.packs, sizeof(ResourcePack)); }
  ~ListLifetime() { packs_release(); }
  ListLifetime(const ListLifetime&) = delete;
  ListLifetime& operator=(const ListLifetime&) = delete;
};
ListLifetime g_lifetime;

ResourcePack* pack_at(uint32_t i) { return static_cast<ResourcePack*>(array_at(&g_list.packs, i)); }

int read_pack(ResourcePack* pack, const uint8_t* bytes) {
  MemStream s{};
  stream_open_memory(&s, bytes, -1);
  if (!pack->entries.element_size) array_setup(&pack->entries, sizeof(ResourceEntry));
  for (;;) {
    uint8_t word[4];
    if (!stream_read(&s, word, 4)) break;
    const uint32_t length = load_u32le(word);
    if (length == 0) break;
    if (length < kPackRecordHeader || length - kPackRecordHeader > INT32_MAX) {
      stream_release(&s);
      return failf("resource record of %u bytes", length);
    }
    uint8_t head[5];
    if (!stream_read(&s, head, 5)) break;
    auto* e = static_cast<ResourceEntry*>(array_append(&pack->entries));
    if (!e) {
      stream_release(&s);
      return fail("out of memory for the resource entries");
    }
    e->id = static_cast<int32_t>(load_u32le(head + 1));
    e->type = head[0];
    e->offset = static_cast<uint32_t>(stream_tell(&s));
    e->size = length - kPackRecordHeader;
    if (!stream_seek(&s, static_cast<int32_t>(e->size), 1)) break;
  }
  stream_release(&s);
  pack->min_id = 0;
  pack->max_id = 0;
  uint8_t* at = nullptr;
  while (array_next(&pack->entries, &at)) {
    const int32_t id = reinterpret_cast<const ResourceEntry*>(at)->id;
    if (pack->min_id == 0 || pack->min_id > id) pack->min_id = id;
    if (id > pack->max_id) pack->max_id = id;
  }
  return 1;
}

int compare_id(const void* key, const void* element) {
  const int64_t wanted = *static_cast<const int32_t*>(key);
  const int64_t id = static_cast<const ResourceEntry*>(element)->id;
  return wanted < id ? -1 : wanted > id ? 1 : 0;
}

}  // namespace

DynArray* pack_list() { return &g_list.packs; }

void packs_release() {
  for (uint32_t i = 0; i < g_list.packs.count; ++i) array_release(&pack_at(i)->entries);
  array_release(&g_list.packs);
}

int pack_register(const void* bytes) {
  if (!bytes) return fail("no pack");
  if (!g_list.packs.element_size) array_setup(&g_list.packs, sizeof(ResourcePack));
  for (uint32_t i = 0; i < g_list.packs.count;) {
    ResourcePack* p = pack_at(i);
    if (p->base != bytes) {
      ++i;
      continue;
    }
    array_release(&p->entries);
    array_remove_at(&g_list.packs, i);
  }
  auto* pack = static_cast<ResourcePack*>(array_append(&g_list.packs));
  if (!pack) return fail("out of memory for the pack list");
  if (!read_pack(pack, static_cast<const uint8_t*>(bytes))) {
    array_release(&pack->entries);
    array_remove(&g_list.packs, pack);
    return 0;
  }
  pack->base = static_cast<const uint8_t*>(bytes);
  return 1;
}

int pack_find(int32_t id, uint32_t type, MemStream* out) {
  for (uint32_t i = 0; i < g_list.packs.count; ++i) {
    const ResourcePack* p = pack_at(i);
    if (p->min_id > id) continue;
    if (p->max_id < id) continue;
    // The first pack whose range reaches the identifier is the only one searched.
    const auto* e = static_cast<const ResourceEntry*>(array_search_sorted(&p->entries, &id, compare_id));
    if (!e) return failf("resource %d not in its pack", id);
    if (e->type != type) return failf("resource %d is of type %u, not %u", id, e->type, type);
    if (out->view) return fail("resource wanted in a read-only stream");
    out->size = 0;
    out->position = 0;
    if (e->size > INT32_MAX || !stream_write(out, p->base + e->offset, static_cast<int32_t>(e->size))) {
      return fail("out of memory for the resource");
    }
    out->position = 0;
    return 1;
  }
  return failf("resource %d not found", id);
}

int pack_read_picture_header(void* header, int32_t id) {
  MemStream s{};
  stream_setup(&s);
  int ok = pack_find(id, kResourcePicture, &s);
  if (ok && header) ok = stream_read(&s, header, 16) ? 1 : fail("picture resource shorter than its header");
  stream_release(&s);
  return ok;
}

}  // namespace lumra::base
