// The framework's heaps: a small table of heaps over the C allocator, with the current heap
// selected by index. Heap 0 is the default; heap 1 holds large long-lived pools. Blocks carry a
// small header with their size, so reallocation can zero exactly the bytes it adds.
// Single-threaded by design, like the rest of the framework.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::base {

inline constexpr int kHeapCount = 4;

// Makes heap `index` current (creating it on first use) and returns the previous index.
// An index outside the table leaves the selection unchanged and returns it.
int heap_select(int index);
int heap_current();

// Size 0 gives null. Not zeroed.
void* heap_alloc(size_t size);
// count × size bytes, zeroed; a zero product or an overflow gives null.
void* heap_alloc_zeroed(size_t count, size_t size);
// Size 0 frees and returns null; a null block is allocated fresh (not zeroed); otherwise the
// block is resized and any added bytes are zeroed. Null on failure, the old block still valid.
void* heap_realloc(void* block, size_t size);
// Frees a block of these wrappers (null is ignored). At most once every five seconds of frees
// the heap is compacted first (unused memory handed back to the system).
void heap_free(void* block);
// Requested size of a block of these wrappers (0 for null).
size_t heap_block_size(const void* block);

// Bookkeeping for tests and benchmarks.
struct HeapStats {
  size_t bytes_in_use;
  size_t blocks_in_use;
  uint32_t compactions;
};
HeapStats heap_stats(int index);

}  // namespace lumra::base
