// Shared libraries loaded while the program runs, for optional components that may or may not be
// installed (Ghostscript): open one by name, look up its entry points, and name the folder it was
// loaded from. Part of the system interface (platform/system/*.h), implemented once per operating
// system (platform/posix/library.cpp here, with dlopen).
#pragma once

#include <string>

namespace lumra::sys {

// A loaded library; null is none.
using Library = void*;

// Loads the library `name` (a bare file name is searched for where the system keeps libraries)
// with every symbol resolved now, so that a broken installation fails here and not at a call.
// Null when it cannot be loaded. A library stays loaded until the program ends.
Library open_library(const char* name);

// The address of the entry point `name`, or null when the library has none of that name.
void* library_symbol(Library library, const char* name);

// The folder the library was loaded from, without a trailing separator; empty when unknown.
std::string library_folder(Library library);

}  // namespace lumra::sys
