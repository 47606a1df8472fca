// Small move-only owners, so that an early `return fail(...)` releases what a function acquired
// without a clean-up ladder. Owned<T, release> fits any handle with a release function;
// HeapBlock owns a block of the framework's heaps; OwnedFile a C stream; OwnedDescriptor an
// open file or folder of the system.
// Keep them out of functions that libpng or libjpeg longjmp through: a jump skips destructors.
#pragma once

#include <cstdio>
#include <utility>

#include "framework/base/heap.h"
#include "platform/system/fs.h"

namespace lumra::base {

// Owns a handle of type T; `empty` is the value that owns nothing, `release` frees the rest.
template <class T, auto release, T empty = T{}>
class Owned {
 public:
  Owned() = default;
  explicit Owned(T handle) : handle_(handle) {}
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, empty)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, empty));
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  T get() const { return handle_; }
  explicit operator bool() const { return handle_ != empty; }
  // Gives up ownership without releasing.
  T release_ownership() { return std::exchange(handle_, empty); }
  // Releases what it holds and gives its place to a call that hands a new handle back through a
  // pointer: open_folder(path, links, folder.receive()).
  T* receive() {
    reset();
    return &handle_;
  }
  void reset(T handle = empty) {
    const T old = std::exchange(handle_, handle);
    if (old != empty) release(old);
  }

 private:
  T handle_ = empty;
};

namespace owned_detail {
inline void close_file(FILE* f) { std::fclose(f); }
}  // namespace owned_detail

// A C stream closed on destruction; call close() where the result of the close matters (writes).
class OwnedFile : public Owned<FILE*, owned_detail::close_file> {
 public:
  using Owned::Owned;
  // fclose's result: false when buffered data could not be written.
  bool close() {
    FILE* f = release_ownership();
    return !f || std::fclose(f) == 0;
  }
};

// An open file or folder of the system, closed on destruction; call close() where the result of
// the close matters (the last writes).
class OwnedDescriptor : public Owned<sys::Descriptor, sys::close_descriptor, sys::kNoDescriptor> {
 public:
  using Owned::Owned;
  sys::Status close() {
    const sys::Descriptor d = release_ownership();
    return d == sys::kNoDescriptor ? sys::Status{} : sys::close_descriptor(d);
  }
};

// A block of the framework's current heap (heap_alloc/heap_free).
using HeapBlock = Owned<void*, heap_free>;

}  // namespace lumra::base
