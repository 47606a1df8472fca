// Loads arbitrary bytes as a record-table stream into sorted and unsorted tables of a few
// record sizes, then walks the result.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/base/record_table.h"

namespace {

int compare_first_byte(const void* key, const void* record) {
  return *static_cast<const uint8_t*>(key) - *static_cast<const uint8_t*>(record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra::base;
  // A stream length of 0 means "unbounded" (data linked into the program): not for fuzz input.
  if (size < 2 || size > (1u << 20)) return 0;
  const uint32_t record_size = 1 + data[0] % 64;
  const bool sorted = data[0] & 0x80;
  MemStream s{};
  stream_open_memory(&s, data + 1, static_cast<int32_t>(size - 1));
  RecordTable t{};
  if (!table_setup(&t, record_size, sorted ? compare_first_byte : nullptr)) std::abort();
  table_load(&t, &s);
  uint32_t sum = 0;
  for (uint32_t i = 0; i < t.count; ++i) {
    if (!table_get(&t, static_cast<int32_t>(i))) std::abort();
    sum += t.current[record_size - 1];
    if (sorted && i > 0 && compare_first_byte(table_record(&t, i - 1), table_record(&t, i)) > 0) std::abort();
  }
  (void)sum;
  table_release(&t);
  stream_release(&s);
  return 0;
}
