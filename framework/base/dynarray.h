// Dynamic array of fixed-size plain elements, grown to powers of two and shrunk by halving.
// Elements are raw bytes: nothing is constructed or destroyed, appended elements are zeroed.
// Walk with a cursor: `uint8_t* at = nullptr; while (array_next(a, &at)) use(at);`
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumra::base {

struct DynArray {
  uint32_t element_size;  // 0: not set up
  uint32_t capacity;      // 0 or a power of two
  uint8_t* data;          // framework heap; null when capacity is 0
  uint8_t* end;           // data + element_size * count
  uint32_t count;
};

// Three-way comparison of a key with an element.
using ArrayCompare = int (*)(const void* key, const void* element);

int array_setup(DynArray* a, uint32_t element_size);
void array_release(DynArray* a);
void array_clear(DynArray* a);
int array_reserve(DynArray* a, uint32_t n);
void* array_append(DynArray* a);
int array_append_many(DynArray* a, const void* source, uint32_t n);
int array_remove_at(DynArray* a, uint32_t index);
int32_t array_index_of(const DynArray* a, const void* element);
int array_remove(DynArray* a, const void* element);
int array_next(const DynArray* a, uint8_t** cursor);
void* array_find(const DynArray* a, const void* key, ArrayCompare compare);
void* array_search_sorted(const DynArray* a, const void* key, ArrayCompare compare);
void array_sort(DynArray* a, ArrayCompare compare);

inline void* array_at(const DynArray* a, uint32_t index) {
  return index < a->count ? a->data + static_cast<size_t>(index) * a->element_size : nullptr;
}

}  // namespace lumra::base
