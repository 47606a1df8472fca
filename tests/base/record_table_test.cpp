#include "framework/base/record_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"

namespace lumra::base {
namespace {

struct Rec {
  int32_t key;
  int32_t serial;
};

int compare_keys(const void* key, const void* record) {
  const int32_t a = static_cast<const Rec*>(key)->key;
  const int32_t b = static_cast<const Rec*>(record)->key;
  return (a > b) - (a < b);
}

Rec record(const RecordTable& t, uint32_t i) {
  Rec r{};
  std::memcpy(&r, table_record(&t, i), sizeof r);
  return r;
}

// Builds a table stream: the current form when `stored_size` >= 0, else the short form.
std::vector<uint8_t> table_stream(int32_t count, int32_t stored_size, const std::vector<uint8_t>& records,
                                  uint16_t header_length = 12) {
  std::vector<uint8_t> s;
  auto put32 = [&](uint32_t v) {
    uint8_t b[4];
    store_u32le(b, v);
    s.insert(s.end(), b, b + 4);
  };
  if (stored_size >= 0) {
    put32(kTableStreamMarker | (uint32_t{header_length} << 16));
    put32(static_cast<uint32_t>(count));
    put32(static_cast<uint32_t>(stored_size));
    s.resize(s.size() + (header_length > 12 ? header_length - 12 : 0), 0xEE);
  } else {
    put32(static_cast<uint32_t>(count));
  }
  s.insert(s.end(), records.begin(), records.end());
  return s;
}

int load(RecordTable* t, std::vector<uint8_t>& bytes) {
  MemStream s{};
  // Length 0 would mean "unbounded": an empty input is an empty owned stream instead.
  if (bytes.empty()) stream_setup(&s);
  else stream_open_memory(&s, bytes.data(), static_cast<int32_t>(bytes.size()));
  const int result = table_load(t, &s);
  stream_release(&s);
  return result;
}

TEST(RecordTable, RecordsShareThePoolSlotUntilTheyNoLongerFit) {
  RecordTable t{};
  ASSERT_EQ(table_setup(&t, 100, nullptr), 1);
  ASSERT_GE(t.pool_slot, 0);
  uint8_t rec[100];
  for (int i = 0; i < 80; ++i) {
    std::memset(rec, i, sizeof rec);
    ASSERT_EQ(table_put(&t, -1, rec), 1);
  }
  EXPECT_EQ(t.in_slot, 1u);
  EXPECT_EQ(t.capacity, 80u) << "(8192 - 100) / 100";
  std::memset(rec, 80, sizeof rec);
  ASSERT_EQ(table_put(&t, -1, rec), 1);
  EXPECT_EQ(t.in_slot, 0u) << "the 81st record moves them all to the heap";
  EXPECT_EQ(t.capacity, 128u);
  for (uint32_t i = 0; i < 81; ++i) ASSERT_EQ(static_cast<uint8_t*>(table_record(&t, i))[99], i);
  table_release(&t);
  EXPECT_EQ(t.record_size, 0u);
}

TEST(RecordTable, FullPoolFallsBackToHeapBuffers) {
  const TablePoolStats before = table_pool_stats();
  std::vector<RecordTable> tables(kPoolSlots - before.slots_in_use);
  for (auto& t : tables) ASSERT_EQ(table_setup(&t, 8, nullptr), 1);
  EXPECT_EQ(table_pool_stats().slots_in_use, kPoolSlots);
  RecordTable extra{};
  ASSERT_EQ(table_setup(&extra, 8, nullptr), 1);
  EXPECT_EQ(extra.pool_slot, -1);
  const Rec r{5, 6};
  EXPECT_EQ(table_put(&extra, -1, &r), 1);
  EXPECT_EQ(record(extra, 0).serial, 6);
  table_release(&extra);
  for (auto& t : tables) table_release(&t);
  EXPECT_EQ(table_pool_stats().slots_in_use, before.slots_in_use);
  EXPECT_EQ(table_pool_stats().tables, before.tables);
}

TEST(RecordTable, LargeRecordsTakeAHeapBuffer) {
  RecordTable t{};
  ASSERT_EQ(table_setup(&t, 8193, nullptr), 1);
  EXPECT_EQ(t.pool_slot, -1);
  table_release(&t);
  EXPECT_EQ(table_setup(&t, 0, nullptr), 0);
}

TEST(RecordTable, SortedPutGoesAfterEqualsAndFindGivesTheLastEqual) {
  RecordTable t{};
  ASSERT_EQ(table_setup(&t, sizeof(Rec), compare_keys), 1);
  const Rec input[] = {{20, 0}, {10, 1}, {20, 2}, {30, 3}, {20, 4}, {5, 5}};
  for (const Rec& r : input) ASSERT_GE(table_put(&t, -1, &r), 0);
  const int32_t expected_keys[] = {5, 10, 20, 20, 20, 30};
  const int32_t expected_serials[] = {5, 1, 0, 2, 4, 3};
  for (uint32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(record(t, i).key, expected_keys[i]);
    EXPECT_EQ(record(t, i).serial, expected_serials[i]);
  }
  const Rec key20{20, 0}, key15{15, 0}, key40{40, 0}, key1{1, 0};
  int32_t position = 0;
  EXPECT_EQ(table_find(&t, &key20, &position), 4);
  EXPECT_EQ(position, 5);
  EXPECT_EQ(table_find(&t, &key15, &position), -1);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(table_find(&t, &key40, &position), -1);
  EXPECT_EQ(position, 6);
  EXPECT_EQ(table_find(&t, &key1, &position), -1);
  EXPECT_EQ(position, 0);
  // Replacing record 0 (key 5) with key 25 re-sorts it.
  const Rec replacement{25, 9};
  EXPECT_EQ(table_put(&t, 0, &replacement), 4);
  EXPECT_EQ(record(t, 4).serial, 9);
  EXPECT_EQ(t.count, 6u);
  table_release(&t);
}

TEST(RecordTable, SortedFindMatchesALinearScanForEverySize) {
  for (uint32_t n = 0; n < 40; ++n) {
    RecordTable t{};
    table_setup(&t, sizeof(Rec), compare_keys);
    for (uint32_t i = 0; i < n; ++i) {
      const Rec r{static_cast<int32_t>(i / 3 * 2), static_cast<int32_t>(i)};
      table_put(&t, -1, &r);
    }
    for (int32_t k = -1; k <= static_cast<int32_t>(n); ++k) {
      const Rec key{k, 0};
      int32_t expect_position = 0, expect_index = -1;
      for (uint32_t i = 0; i < n; ++i) {
        if (record(t, i).key <= k) expect_position = static_cast<int32_t>(i + 1);
        if (record(t, i).key == k) expect_index = static_cast<int32_t>(i);
      }
      int32_t position = -7;
      EXPECT_EQ(table_find(&t, &key, &position), expect_index) << n << " " << k;
      EXPECT_EQ(position, expect_position) << n << " " << k;
    }
    table_release(&t);
  }
}

TEST(RecordTable, CurrentRecordFollowsGetPutAndDelete) {
  RecordTable t{};
  table_setup(&t, sizeof(Rec), nullptr);
  for (int32_t i = 0; i < 4; ++i) {
    const Rec r{i, i * 10};
    table_put(&t, -1, &r);
  }
  ASSERT_EQ(table_get(&t, 2), 1);
  EXPECT_EQ(t.current_index, 2);
  EXPECT_EQ(reinterpret_cast<Rec*>(t.current)->serial, 20);
  table_delete(&t, 0);
  EXPECT_EQ(t.current_index, 1) << "a later current record moves down";
  table_delete(&t, 1);
  EXPECT_EQ(t.current_index, -1) << "deleting the current record forgets it";
  int32_t partial = 0;
  ASSERT_EQ(table_get(&t, 1, &partial, 4, 4), 1) << "one field of record 1";
  EXPECT_EQ(partial, 30);
  EXPECT_EQ(table_get(&t, 1, &partial, 4, 8), 0) << "past the last record";
  EXPECT_EQ(table_get(&t, 2), 0);
  reinterpret_cast<Rec*>(t.current)->key = 77;
  EXPECT_EQ(table_get(&t, -1), 0);
  EXPECT_EQ(reinterpret_cast<Rec*>(t.current)->key, 0) << "a negative index clears the current record";
  ASSERT_EQ(table_put(&t, 5), 1) << "writing past the end grows the table";
  EXPECT_EQ(t.count, 6u);
  EXPECT_EQ(t.current_index, 5);
  EXPECT_EQ(record(t, 4).key, 0);
  table_delete(&t, 0);
  while (t.count) table_delete(&t, 0);
  EXPECT_EQ(t.capacity, 0u);
  EXPECT_EQ(t.data, nullptr);
  table_release(&t);
}

TEST(RecordTable, LoadReadsAllThreeStreamForms) {
  RecordTable t{};
  table_setup(&t, 16, nullptr);
  std::vector<uint8_t> empty = {0, 0, 0, 0};
  EXPECT_EQ(load(&t, empty), 1);
  EXPECT_EQ(t.count, 0u);

  std::vector<uint8_t> records(30);
  for (size_t i = 0; i < records.size(); ++i) records[i] = static_cast<uint8_t>(i + 1);
  auto current = table_stream(3, 10, records);
  ASSERT_EQ(load(&t, current), 1);
  ASSERT_EQ(t.count, 3u);
  for (uint32_t r = 0; r < 3; ++r) {
    const auto* rec = static_cast<uint8_t*>(table_record(&t, r));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(rec[i], r * 10 + i + 1);
    for (int i = 10; i < 16; ++i) EXPECT_EQ(rec[i], 0) << "the tail of a shorter stored record is zero";
  }
  table_release(&t);

  table_setup(&t, 4, nullptr);
  auto shorter = table_stream(2, 6, std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  ASSERT_EQ(load(&t, shorter), 1);
  ASSERT_EQ(t.count, 2u);
  EXPECT_EQ(static_cast<uint8_t*>(table_record(&t, 1))[0], 7) << "stored bytes beyond the record are skipped";
  table_release(&t);

  table_setup(&t, 4, nullptr);
  auto short_form = table_stream(2, -1, std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_EQ(load(&t, short_form), 1);
  EXPECT_EQ(t.count, 2u);
  auto long_header = table_stream(1, 4, std::vector<uint8_t>{9, 9, 9, 9}, 20);
  ASSERT_EQ(load(&t, long_header), 1) << "extra header bytes are skipped";
  EXPECT_EQ(static_cast<uint8_t*>(table_record(&t, 0))[0], 9);
  table_release(&t);
}

TEST(RecordTable, SortedTablesReceiveLoadedRecordsInOrder) {
  RecordTable t{};
  table_setup(&t, sizeof(Rec), compare_keys);
  std::vector<uint8_t> records;
  for (int32_t key : {3, 1, 2}) {
    Rec r{key, key * 100};
    const auto* b = reinterpret_cast<const uint8_t*>(&r);
    records.insert(records.end(), b, b + sizeof r);
  }
  auto bytes = table_stream(3, sizeof(Rec), records);
  ASSERT_EQ(load(&t, bytes), 1);
  EXPECT_EQ(record(t, 0).key, 1);
  EXPECT_EQ(record(t, 2).serial, 300);
  table_release(&t);
}

TEST(RecordTable, HostileStreamsFailBeforeAllocating) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"count beyond the bytes", table_stream(1000000, 16, std::vector<uint8_t>(64))},
      {"count above ten million", table_stream(10000001, 16, {})},
      {"negative count", table_stream(-1, 16, {})},
      {"many records of another size", table_stream(100001, 8, std::vector<uint8_t>(800008))},
      {"short form of 8192 records", table_stream(8192, -1, std::vector<uint8_t>(8192 * 16))},
      {"header length below 12", table_stream(1, 16, std::vector<uint8_t>(16), 8)},
      {"stored size zero", table_stream(5, 0, {})},
      {"negative stored size", table_stream(5, -3, {})},
      {"truncated header", {0xDC, 0xFE, 12, 0, 1, 0}},
      {"nothing", {}},
  };
  for (auto& c : cases) {
    RecordTable t{};
    table_setup(&t, 16, nullptr);
    const size_t before = heap_stats(heap_current()).bytes_in_use;
    clear_error();
    EXPECT_EQ(load(&t, c.bytes), 0) << c.name;
    EXPECT_STRNE(last_error(), "") << c.name << ": no reason";
    EXPECT_LT(heap_stats(heap_current()).bytes_in_use, before + 4096) << c.name;
    table_release(&t);
  }
}

// A failing call says why, so that callers never print an older reason.
TEST(RecordTable, EveryFailingCallSaysWhy) {
  RecordTable unset{};
  RecordTable t{};
  ASSERT_EQ(table_setup(&t, sizeof(Rec), nullptr), 1);
  const Rec r{1, 2};
  ASSERT_EQ(table_put(&t, -1, &r), 1);
  Rec out{};
  const std::pair<const char*, std::function<int()>> calls[] = {
      {"set-up with record size 0", [] { RecordTable z{}; return table_setup(&z, 0, nullptr); }},
      {"resize before set-up", [&] { return table_resize(&unset, 4); }},
      {"get before set-up", [&] { return table_get(&unset, 0); }},
      {"put before set-up", [&] { return static_cast<int>(table_put(&unset, -1, &r)); }},
      {"find before set-up", [&] { return table_find(&unset, &r) + 1; }},
      {"delete past the end", [&] { return table_delete(&t, 1); }},
      {"get past the end", [&] { return table_get(&t, 1, &out); }},
      {"get at -1", [&] { return table_get(&t, -1); }},
      {"get past the records", [&] { return table_get(&t, 0, &out, sizeof out, 4); }},
      {"get more than a record into the current one", [&] { return table_get(&t, 0, nullptr, 64); }},
      {"delete at -1", [&] { return table_delete(&t, -1); }},
      {"load before set-up", [&] { MemStream s{}; return table_load(&unset, &s); }},
  };
  for (const auto& [name, call] : calls) {
    clear_error();
    EXPECT_EQ(call(), 0) << name;
    EXPECT_STRNE(last_error(), "") << name;
  }
  // Not finding is an answer, not a failure.
  clear_error();
  const Rec other{5, 0};
  EXPECT_EQ(table_find(&t, &other), -1);
  EXPECT_STREQ(last_error(), "");
  table_release(&t);
}

TEST(RecordTable, UnboundedStreamsAreCapped) {
  RecordTable t{};
  table_setup(&t, 1024, nullptr);
  auto bytes = table_stream(300000, 1024, {});
  MemStream s{};
  stream_open_memory(&s, bytes.data(), -1);
  EXPECT_EQ(table_load(&t, &s), 0) << "300,000 KiB claimed from memory of unknown length";
  table_release(&t);
}

}  // namespace
}  // namespace lumra::base
