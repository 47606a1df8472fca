// Record tables: the shared scratch pool, growth from a pool slot to the heap, sorted insertion
// by binary search, and loading the three stream forms. Every failing call records its reason (a
// failure passed on from a stream or table call keeps that call's); a find that comes back empty
// (-1) is an answer, not a failure.
#include "framework/base/record_table.h"

#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"

namespace lumra::base {
namespace {

struct Pool {
  uint8_t* slots;       // kPoolSlots × kPoolSlotSize, zeroed, on heap 1
  uint8_t used[kPoolSlots];
  uint32_t hint;
  bool created;
  TablePoolStats stats;
};
Pool g_pool;

void create_pool() {
  if (g_pool.created) return;
  g_pool.created = true;
  const int previous = heap_select(1);
  g_pool.slots = static_cast<uint8_t*>(heap_alloc_zeroed(kPoolSlots, kPoolSlotSize));
  heap_select(previous);
}

// Takes a pool slot for a current buffer of `size` bytes, or -1 when none can be had.
int32_t take_slot(uint32_t size) {
  if (!g_pool.slots || size > kPoolSlotSize) return -1;
  if (size > g_pool.stats.largest_pooled_size) g_pool.stats.largest_pooled_size = size;
  uint32_t slot = g_pool.hint;
  if (g_pool.used[slot]) {
    if (g_pool.stats.slots_in_use >= kPoolSlots) return -1;
    slot = 0;
    while (g_pool.used[slot]) slot++;
  }
  g_pool.used[slot] = 1;
  g_pool.stats.slots_in_use++;
  if (slot + 1 < kPoolSlots && !g_pool.used[slot + 1]) g_pool.hint = slot + 1;
  return static_cast<int32_t>(slot);
}

uint8_t* slot_memory(int32_t slot) { return g_pool.slots + static_cast<size_t>(slot) * kPoolSlotSize; }

void give_back_slot(int32_t slot) {
  g_pool.used[slot] = 0;
  g_pool.stats.slots_in_use--;
  g_pool.hint = static_cast<uint32_t>(slot);
}

void free_data(RecordTable* t) {
  if (!t->in_slot) heap_free(t->data);
  t->data = nullptr;
  t->in_slot = 0;
  t->capacity = 0;
}

// False with a reason.
bool grow(RecordTable* t, uint32_t n) {
  const uint64_t size = t->record_size;
  if (!t->data && t->pool_slot >= 0 && static_cast<uint64_t>(n) * 2 * size <= kPoolSlotSize) {
    t->data = t->current + size;
    t->capacity = static_cast<uint32_t>((kPoolSlotSize - size) / size);
    t->in_slot = 1;
    return true;
  }
  uint64_t capacity = (t->count == 0 || t->in_slot) ? 1 : t->capacity;
  while (capacity < n) capacity *= 2;
  const uint64_t bytes = capacity * size;
  if (capacity > UINT32_MAX || bytes > SIZE_MAX / 2) return fail("record table too large");
  if (t->in_slot) {
    auto* heap_data = static_cast<uint8_t*>(heap_alloc(bytes));
    if (!heap_data) return fail("out of memory for the records");
    std::memcpy(heap_data, t->data, static_cast<size_t>(t->count) * size);
    t->data = heap_data;
    t->in_slot = 0;
  } else {
    auto* heap_data = static_cast<uint8_t*>(heap_realloc(t->data, bytes));
    if (!heap_data) return fail("out of memory for the records");
    t->data = heap_data;
  }
  t->capacity = static_cast<uint32_t>(capacity);
  return true;
}

uint8_t* record_at(const RecordTable* t, uint32_t index) {
  return t->data + static_cast<size_t>(index) * t->record_size;
}

int compare_or_bytes(const RecordTable* t, RecordCompare compare, const void* key, const void* record) {
  return compare ? compare(key, record) : std::memcmp(key, record, t->record_size);
}

int32_t put_sorted(RecordTable* t, int32_t index, const uint8_t* source) {
  if (index >= 0 && static_cast<uint32_t>(index) < t->count) table_delete(t, index);
  int32_t position = 0;
  table_find(t, source, &position);
  if (!table_resize(t, t->count + 1)) return -1;
  uint8_t* at = record_at(t, static_cast<uint32_t>(position));
  std::memmove(at + t->record_size, at, static_cast<size_t>(t->count - 1 - static_cast<uint32_t>(position)) * t->record_size);
  std::memcpy(at, source, t->record_size);
  if (source == t->current) t->current_index = position;
  return position;
}

int32_t put_unsorted(RecordTable* t, int32_t index, const uint8_t* source) {
  uint32_t at = index < 0 ? t->count : static_cast<uint32_t>(index);
  if (at >= t->count) {
    if (at == UINT32_MAX) return fail("record table full");
    if (!table_resize(t, at + 1)) return 0;
  }
  std::memcpy(record_at(t, at), source, t->record_size);
  if (source == t->current) t->current_index = static_cast<int32_t>(at);
  return 1;
}

int32_t put(RecordTable* t, int32_t index, const void* source, bool sorted) {
  const int32_t failed = sorted ? -1 : 0;
  if (!t->record_size) {
    fail("record table not set up");
    return failed;
  }
  const auto* src = static_cast<const uint8_t*>(source ? source : t->current);
  // A source inside the table's own storage would move under the insertion: work from a copy.
  HeapBlock copy;
  if (t->data && src >= t->data && src < t->data + static_cast<size_t>(t->capacity) * t->record_size) {
    copy.reset(heap_alloc(t->record_size));
    if (!copy) {
      fail("out of memory for a copy of the record");
      return failed;
    }
    std::memcpy(copy.get(), src, t->record_size);
    src = static_cast<const uint8_t*>(copy.get());
  }
  return sorted ? put_sorted(t, index, src) : put_unsorted(t, index, src);
}

}  // namespace

int table_setup(RecordTable* t, uint32_t record_size, RecordCompare comparison) {
  create_pool();
  *t = RecordTable{};
  if (record_size == 0) return fail("record size 0");
  t->record_size = record_size;
  t->comparison = comparison;
  t->pool_slot = take_slot(record_size);
  if (t->pool_slot >= 0) {
    t->current = slot_memory(t->pool_slot);
  } else {
    t->current = static_cast<uint8_t*>(heap_alloc_zeroed(1, record_size));
    if (!t->current) {
      *t = RecordTable{};
      return fail("out of memory for the current record");
    }
  }
  t->sorted = comparison ? 1 : 0;
  t->current_index = -1;
  g_pool.stats.tables++;
  std::memset(t->current, 0, record_size);
  return 1;
}

void table_release(RecordTable* t) {
  if (!t->record_size) return;
  free_data(t);
  if (t->pool_slot >= 0) give_back_slot(t->pool_slot);
  else heap_free(t->current);
  *t = RecordTable{};
  g_pool.stats.tables--;
}

void table_clear_current(RecordTable* t) {
  if (!t->record_size) return;
  std::memset(t->current, 0, t->record_size);
  t->current_index = -1;
}

int table_resize(RecordTable* t, uint32_t n) {
  if (!t->record_size) return fail("record table not set up");
  if (n == 0) {
    free_data(t);
  } else {
    if (n > t->capacity && !grow(t, n)) return 0;
    if (n > t->count) std::memset(record_at(t, t->count), 0, static_cast<size_t>(n - t->count) * t->record_size);
  }
  t->count = n;
  t->current_index = -1;
  t->write_back = 0;
  return 1;
}

int table_delete(RecordTable* t, int32_t index) {
  if (!t->record_size) return fail("record table not set up");
  if (index < 0 || static_cast<uint32_t>(index) >= t->count) return fail("no record at that index");
  uint8_t* at = record_at(t, static_cast<uint32_t>(index));
  std::memmove(at, at + t->record_size,
               static_cast<size_t>(t->count - 1 - static_cast<uint32_t>(index)) * t->record_size);
  t->count--;
  if (t->current_index == index) t->current_index = -1;
  else if (t->current_index > index) t->current_index--;
  if (t->count == 0) table_resize(t, 0);
  return 1;
}

int table_get(RecordTable* t, int32_t index, void* destination, uint32_t size, uint32_t offset) {
  if (!t->record_size) return fail("record table not set up");
  auto* dest = static_cast<uint8_t*>(destination ? destination : t->current);
  if (size == 0) size = t->record_size;
  if (index < 0) {
    if (size == t->record_size) {
      std::memset(dest, 0, size);
      t->current_index = -1;
    }
    return fail("no record at a negative index");
  }
  if (static_cast<uint32_t>(index) >= t->count) return fail("no record at that index");
  // Never copy past the table's records, nor more than a record into the current buffer.
  const uint64_t available = static_cast<uint64_t>(t->count - static_cast<uint32_t>(index)) * t->record_size;
  if (static_cast<uint64_t>(offset) + size > available) return fail("read past the table's records");
  if (dest == t->current && size > t->record_size) return fail("more than a record into the current buffer");
  if (t->write_back && t->current_index >= 0) {
    t->write_back = 0;
    table_put(t, t->current_index, t->current);
  }
  if (dest == t->current) t->current_index = index;
  std::memmove(dest, record_at(t, static_cast<uint32_t>(index)) + offset, size);
  return 1;
}

int32_t table_find(const RecordTable* t, const void* key, int32_t* position, RecordCompare comparison) {
  int32_t unused = 0;
  if (!position) position = &unused;
  *position = -1;
  if (!t->record_size) {
    fail("record table not set up");
    return -1;
  }
  if (!key) key = t->current;
  if (!comparison) comparison = t->comparison;
  const uint32_t count = t->count;
  if (!t->sorted) {
    for (uint32_t i = 0; i < count; ++i) {
      if (compare_or_bytes(t, comparison, key, record_at(t, i)) == 0) {
        *position = static_cast<int32_t>(i);
        return static_cast<int32_t>(i);
      }
    }
    return -1;
  }
  if (count == 0) {
    *position = 0;
    return -1;
  }
  const int last = compare_or_bytes(t, comparison, key, record_at(t, count - 1));
  if (last >= 0) {
    *position = static_cast<int32_t>(count);
    return last == 0 ? static_cast<int32_t>(count - 1) : -1;
  }
  uint32_t p = 1;
  while (p < count) p <<= 1;
  uint32_t i = 0;
  int c = 0;
  for (uint32_t step = p / 2;; step /= 2) {
    const uint32_t probe = i | step;
    c = probe < count ? compare_or_bytes(t, comparison, key, record_at(t, probe)) : -1;
    if (step == 0) break;
    if (c >= 0) i = probe;
  }
  *position = static_cast<int32_t>(c >= 0 ? i + 1 : i);
  return c == 0 ? static_cast<int32_t>(i) : -1;
}

int32_t table_put(RecordTable* t, int32_t index, const void* source) { return put(t, index, source, t->sorted); }

int32_t table_put_unsorted(RecordTable* t, int32_t index, const void* source) {
  return put(t, index, source, false);
}

int table_load(RecordTable* t, MemStream* stream) {
  if (!t->record_size) return fail("record table not set up");
  uint8_t word[4];
  if (!stream_read(stream, word, 4)) return fail("record table stream ends before its count");
  const uint32_t first = load_u32le(word);
  if (first == 0) return 1;

  int64_t count = 0;
  int64_t stored_size = t->record_size;
  if ((first & 0xFFFF) == kTableStreamMarker) {
    const uint32_t header_length = first >> 16;
    uint8_t fields[8];
    if (header_length < 12) return fail("record table stream header shorter than 12 bytes");
    if (!stream_read(stream, fields, 8)) return fail("record table stream ends inside its header");
    // Header bytes beyond the two fields this reader knows are skipped.
    if (header_length > 12 && !stream_seek(stream, static_cast<int32_t>(header_length - 12), 1)) {
      return fail("record table stream ends inside its header");
    }
    count = static_cast<int32_t>(load_u32le(fields));
    stored_size = static_cast<int32_t>(load_u32le(fields + 4));
    if (count < 0 || count > kTableStreamMaxCount) return fail("record table stream count out of range");
    if (count > kTableStreamMaxMixedCount && stored_size != t->record_size) {
      return fail("record table stream has too many records of another size");
    }
    if (count > 0 && stored_size <= 0) return fail("record table stream record size not positive");
  } else {
    if (first >= kTableStreamMaxShortCount) return fail("record table stream count out of range");
    count = first;
  }

  // The stream must really hold what the header claims before anything is allocated for it.
  const int64_t stored_bytes = count * stored_size;
  const int64_t deliverable = stream_unbounded(stream) ? static_cast<int64_t>(kTableUnboundedLoadBytes)
                                                       : stream_remaining(stream);
  if (stored_bytes > deliverable) return fail("record table stream holds fewer bytes than its header claims");
  if (static_cast<uint64_t>(count) * t->record_size > kTableMaxLoadBytes) {
    return fail("record table stream too large to load");
  }

  table_clear_current(t);
  const auto n = static_cast<uint32_t>(count);
  if (!t->sorted && stored_size == t->record_size) {
    if (!table_resize(t, n)) return 0;
    return n == 0 || stream_read(stream, t->data, static_cast<int32_t>(stored_bytes)) ? 1 : 0;
  }
  const uint32_t size = t->record_size;
  const bool shorter = stored_size <= size;
  if (stored_size < size) std::memset(t->current, 0, size);
  for (uint32_t i = 0; i < n; ++i) {
    if (shorter) {
      if (!stream_read(stream, t->current, static_cast<int32_t>(stored_size))) return 0;
    } else {
      if (!stream_read(stream, t->current, static_cast<int32_t>(size)) ||
          !stream_seek(stream, static_cast<int32_t>(stored_size - size), 1))
        return 0;
    }
    const int32_t result = table_put(t, -1, t->current);
    if (t->sorted ? result < 0 : result == 0) return 0;
  }
  return 1;
}

TablePoolStats table_pool_stats() { return g_pool.stats; }

}  // namespace lumra::base
