// The operating system's memory services beneath the framework's heaps: whole pages for large
// buffers that must go back to the system the moment they are dropped, and handing the C heap's
// unused memory back. Part of the system interface (platform/system/*.h), implemented once per
// operating system (platform/posix/ here).
#pragma once

#include <cstddef>

namespace lumra::sys {

// `size` bytes of fresh zeroed pages, readable and writable; null when the system has none.
void* allocate_pages(size_t size);
// Returns pages from allocate_pages, given the same size; null is ignored.
void release_pages(void* pages, size_t size);

// Hands the C allocator's free memory back to the system where it can; a hint, never a failure.
void trim_heap();

}  // namespace lumra::sys
