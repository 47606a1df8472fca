// POSIX shared libraries: dlopen with RTLD_NOW and RTLD_LOCAL (the library's symbols stay out of
// the global scope, so they cannot stand in for another library's), dlsym, and the folder from
// the loader's own record (RTLD_DI_ORIGIN).
#include "platform/system/library.h"

#include <dlfcn.h>
#include <limits.h>

namespace lumra::sys {

Library open_library(const char* name) {
  if (!name || *name == '\0') return nullptr;
  return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* library_symbol(Library library, const char* name) {
  if (!library || !name) return nullptr;
  return dlsym(library, name);
}

std::string library_folder(Library library) {
  if (!library) return {};
  char origin[PATH_MAX + 1] = {};
  if (dlinfo(library, RTLD_DI_ORIGIN, origin) != 0) return {};
  return origin;
}

}  // namespace lumra::sys
