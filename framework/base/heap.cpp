// The heap table over the C allocator: a size header in front of every block for exact zeroing on
// growth and per-heap bookkeeping, and compaction handed to the system at most every five seconds.
#include "framework/base/heap.h"

#include <cstdlib>
#include <cstring>

#include "framework/base/checked.h"
#include "framework/base/ticks.h"
#include "platform/system/memory.h"

namespace lumra::base {
namespace {

// Header in front of every block; 16 bytes keep the caller's memory 16-byte aligned.
struct alignas(16) BlockHeader {
  size_t size;
  int32_t heap;
  uint32_t magic;
};
static_assert(sizeof(BlockHeader) == 16);
constexpr uint32_t kBlockMagic = 0x4C4D4850;  // "PHML"
constexpr uint32_t kCompactIntervalMs = 5000;

struct HeapEntry {
  bool created;
  HeapStats stats;
};

struct HeapState {
  HeapEntry heaps[kHeapCount];
  int current = -1;
  uint32_t last_compaction = 0;
};
HeapState g_heaps;

int current_index() {
  if (g_heaps.current < 0) heap_select(0);
  return g_heaps.current;
}

BlockHeader* header_of(const void* block) {
  return reinterpret_cast<BlockHeader*>(const_cast<uint8_t*>(static_cast<const uint8_t*>(block)) -
                                        sizeof(BlockHeader));
}

void* finish_block(void* raw, size_t size, int heap) {
  auto* h = static_cast<BlockHeader*>(raw);
  h->size = size;
  h->heap = heap;
  h->magic = kBlockMagic;
  g_heaps.heaps[heap].stats.bytes_in_use += size;
  g_heaps.heaps[heap].stats.blocks_in_use++;
  return h + 1;
}

void forget_block(const BlockHeader* h) {
  HeapStats& s = g_heaps.heaps[h->heap].stats;
  s.bytes_in_use -= h->size;
  s.blocks_in_use--;
}

}  // namespace

int heap_select(int index) {
  const int previous = g_heaps.current < 0 ? 0 : g_heaps.current;
  if (index < 0 || index >= kHeapCount) return previous;
  g_heaps.heaps[index].created = true;
  g_heaps.current = index;
  return previous;
}

int heap_current() { return current_index(); }

void* heap_alloc(size_t size) {
  if (size == 0 || size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  const int heap = current_index();
  void* raw = std::malloc(sizeof(BlockHeader) + size);
  return raw ? finish_block(raw, size, heap) : nullptr;
}

void* heap_alloc_zeroed(size_t count, size_t size) {
  size_t total = 0;
  if (!checked_mul(count, size, &total) || total == 0 ||
      total > SIZE_MAX - sizeof(BlockHeader))
    return nullptr;
  const int heap = current_index();
  void* raw = std::calloc(1, sizeof(BlockHeader) + total);
  return raw ? finish_block(raw, total, heap) : nullptr;
}

void* heap_realloc(void* block, size_t size) {
  if (size == 0) {
    heap_free(block);
    return nullptr;
  }
  if (!block) return heap_alloc(size);
  if (size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
  BlockHeader* h = header_of(block);
  const size_t old_size = h->size;
  const int heap = h->heap;
  void* raw = std::realloc(h, sizeof(BlockHeader) + size);
  if (!raw) return nullptr;
  auto* nh = static_cast<BlockHeader*>(raw);
  HeapStats& s = g_heaps.heaps[heap].stats;
  s.bytes_in_use = s.bytes_in_use - old_size + size;
  nh->size = size;
  auto* data = reinterpret_cast<uint8_t*>(nh + 1);
  if (size > old_size) std::memset(data + old_size, 0, size - old_size);
  return data;
}

void heap_free(void* block) {
  const int heap = current_index();
  const uint32_t now = ticks_ms();
  if (now - g_heaps.last_compaction > kCompactIntervalMs) {
    g_heaps.last_compaction = now;
    sys::trim_heap();
    g_heaps.heaps[heap].stats.compactions++;
  }
  if (!block) return;
  BlockHeader* h = header_of(block);
  forget_block(h);
  h->magic = 0;
  std::free(h);
}

size_t heap_block_size(const void* block) { return block ? header_of(block)->size : 0; }

HeapStats heap_stats(int index) {
  if (index < 0 || index >= kHeapCount) return HeapStats{};
  return g_heaps.heaps[index].stats;
}

}  // namespace lumra::base
