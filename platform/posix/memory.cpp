// POSIX memory: anonymous private mappings for pages, and glibc's malloc_trim for the heap (other
// C libraries give freed memory back on their own, so there it does nothing).
#include "platform/system/memory.h"

#include <sys/mman.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lumra::sys {

void* allocate_pages(size_t size) {
  if (size == 0) return nullptr;
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void release_pages(void* pages, size_t size) {
  if (pages) munmap(pages, size);
}

void trim_heap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace lumra::sys
