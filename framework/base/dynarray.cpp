// Dynamic arrays: storage resized to powers of two on the framework heap, halved as elements go.
// Every failing call records its reason; a walk that has ended or a search that finds nothing
// is an answer, not a failure.
#include "framework/base/dynarray.h"

#include <cstdlib>
#include <cstring>

#include "framework/base/checked.h"
#include "framework/base/error.h"
#include "framework/base/heap.h"

namespace lumra::base {
namespace {

void set_end(DynArray* a) { a->end = a->data ? a->data + static_cast<size_t>(a->element_size) * a->count : nullptr; }

// Reallocates the storage to exactly `capacity` elements; false (with a reason) leaves the array
// as it was.
bool resize_storage(DynArray* a, uint32_t capacity) {
  size_t bytes = 0;
  if (!checked_mul<size_t>(capacity, a->element_size, &bytes)) return fail("array too large");
  void* data = heap_realloc(a->data, bytes);
  if (!data && bytes) return fail("out of memory for the array");
  a->data = static_cast<uint8_t*>(data);
  a->capacity = capacity;
  set_end(a);
  return true;
}

}  // namespace

int array_setup(DynArray* a, uint32_t element_size) {
  *a = DynArray{};
  a->element_size = element_size;
  return 1;
}

void array_release(DynArray* a) {
  if (!a->element_size) return;
  heap_free(a->data);
  *a = DynArray{};
}

void array_clear(DynArray* a) {
  heap_free(a->data);
  a->data = nullptr;
  a->end = nullptr;
  a->capacity = 0;
  a->count = 0;
}

int array_reserve(DynArray* a, uint32_t n) {
  if (!a->element_size) return fail("array not set up");
  if (n > a->capacity) {
    uint32_t capacity = 0;
    if (!next_power_of_two(n, &capacity)) return fail("array too large");
    if (!resize_storage(a, capacity)) return 0;
  }
  // The end always marks the last counted element, so a reservation made ahead of use never
  // lets a walk see storage that holds no element yet.
  set_end(a);
  return 1;
}

void* array_append(DynArray* a) {
  if (a->count == UINT32_MAX) return fail("array full");
  if (!array_reserve(a, a->count + 1)) return nullptr;
  uint8_t* element = a->data + static_cast<size_t>(a->element_size) * a->count;
  std::memset(element, 0, a->element_size);
  a->count++;
  set_end(a);
  return element;
}

int array_append_many(DynArray* a, const void* source, uint32_t n) {
  uint32_t total = 0;
  if (!checked_add(a->count, n, &total)) return fail("array full");
  if (!array_reserve(a, total)) return 0;
  if (n) std::memcpy(a->data + static_cast<size_t>(a->element_size) * a->count, source,
                     static_cast<size_t>(a->element_size) * n);
  a->count = total;
  set_end(a);
  return 1;
}

int array_remove_at(DynArray* a, uint32_t index) {
  if (!a->element_size) return fail("array not set up");
  if (index >= a->count) return fail("no element at that index");
  const size_t size = a->element_size;
  uint8_t* element = a->data + size * index;
  std::memmove(element, element + size, size * (a->count - index - 1));
  a->count--;
  if (a->count == 0 && a->capacity > 1) {
    resize_storage(a, 1);
  } else if (a->capacity / 2 >= a->count && a->capacity > 1) {
    resize_storage(a, a->capacity / 2);  // a failed shrink keeps the old storage
  }
  set_end(a);
  return 1;
}

int32_t array_index_of(const DynArray* a, const void* element) {
  if (!a->element_size || !element || !a->data) return -1;
  const auto* p = static_cast<const uint8_t*>(element);
  if (p < a->data) return -1;
  const size_t offset = static_cast<size_t>(p - a->data);
  if (offset % a->element_size) return -1;
  const size_t index = offset / a->element_size;
  return index < a->count ? static_cast<int32_t>(index) : -1;
}

int array_remove(DynArray* a, const void* element) {
  const int32_t index = array_index_of(a, element);
  if (index < 0) return fail("not an element of the array");
  return array_remove_at(a, static_cast<uint32_t>(index));
}

int array_next(const DynArray* a, uint8_t** cursor) {
  if (!a->element_size || a->count == 0) return 0;
  if (!*cursor) {
    *cursor = a->data;
    return 1;
  }
  *cursor += a->element_size;
  if (*cursor >= a->end) {
    *cursor = nullptr;
    return 0;
  }
  return 1;
}

void* array_find(const DynArray* a, const void* key, ArrayCompare compare) {
  if (!a->element_size || !key) return nullptr;
  const auto* k = static_cast<const uint8_t*>(key);
  for (uint8_t* p = a->data; p != a->end; p += a->element_size) {
    if (compare ? compare(key, p) == 0 : (p[0] == k[0] && std::memcmp(p, k, a->element_size) == 0))
      return p;
  }
  return nullptr;
}

void* array_search_sorted(const DynArray* a, const void* key, ArrayCompare compare) {
  if (!a->element_size || !compare || a->count == 0) return nullptr;
  return std::bsearch(key, a->data, a->count, a->element_size, compare);
}

void array_sort(DynArray* a, ArrayCompare compare) {
  if (!a->element_size || !compare || a->count < 2) return;
  std::qsort(a->data, a->count, a->element_size, compare);
}

}  // namespace lumra::base
