// Record table: a growable table of fixed-size records with a built-in current-record buffer,
// kept sorted when it has a comparison, loadable from a memory stream.
// Small tables live in a shared scratch pool (4,096 slots of 8 KiB on heap 1): the current
// buffer takes a slot, and the records share it while they fit.
#pragma once

#include <cstdint>

#include "framework/base/memstream.h"

namespace lumra::base {

// Three-way comparison of a key with a record.
using RecordCompare = int (*)(const void* key, const void* record);

struct RecordTable {
  int32_t pool_slot;        // slot holding the current buffer, -1 for a heap block
  uint32_t in_slot;         // 1 while the records live in the rest of that slot
  uint32_t capacity;
  uint8_t* data;
  RecordCompare comparison;
  uint8_t* current;         // the current record
  uint32_t record_size;     // 0: not set up
  uint32_t count;
  int32_t current_index;    // -1 when none
  uint32_t write_back;      // store the current record back before another is read
  uint32_t sorted;
};

inline constexpr uint32_t kPoolSlots = 4096;
inline constexpr uint32_t kPoolSlotSize = 8192;
inline constexpr uint16_t kTableStreamMarker = 0xFEDC;
inline constexpr int32_t kTableStreamMaxCount = 10000000;
inline constexpr int32_t kTableStreamMaxMixedCount = 100000;
inline constexpr uint32_t kTableStreamMaxShortCount = 8192;
// Loads never allocate more than this for the records, nor trust an unbounded stream for more
// stored bytes than kTableUnboundedLoadBytes.
inline constexpr uint64_t kTableMaxLoadBytes = 1ull << 30;
inline constexpr uint64_t kTableUnboundedLoadBytes = 256ull << 20;

int table_setup(RecordTable* t, uint32_t record_size, RecordCompare comparison);
void table_release(RecordTable* t);
void table_clear_current(RecordTable* t);
int table_resize(RecordTable* t, uint32_t n);
int table_delete(RecordTable* t, int32_t index);
// destination null: the current buffer; size 0: the record size.
int table_get(RecordTable* t, int32_t index, void* destination = nullptr, uint32_t size = 0, uint32_t offset = 0);
// key null: the current buffer; comparison null: the table's. *position receives the insertion
// position (sorted) or the found index.
int32_t table_find(const RecordTable* t, const void* key = nullptr, int32_t* position = nullptr,
                   RecordCompare comparison = nullptr);
// Sorted tables: the position written, or -1. Unsorted: 1 or 0 (a negative index appends).
int32_t table_put(RecordTable* t, int32_t index, const void* source = nullptr);
int32_t table_put_unsorted(RecordTable* t, int32_t index, const void* source = nullptr);
int table_load(RecordTable* t, MemStream* stream);

inline void* table_record(const RecordTable* t, uint32_t index) {
  return index < t->count ? t->data + static_cast<uint64_t>(index) * t->record_size : nullptr;
}

// Scratch-pool figures, for tests.
struct TablePoolStats {
  uint32_t tables;
  uint32_t slots_in_use;
  uint32_t largest_pooled_size;
};
TablePoolStats table_pool_stats();

}  // namespace lumra::base
