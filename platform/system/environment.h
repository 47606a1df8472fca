// The program's environment variables, read and changed. Part of the system interface
// (platform/system/*.h), implemented once per operating system (platform/posix/environment.cpp).
// Changes are seen by this process's own libraries and by the children it starts afterwards.
#pragma once

#include <string>

#include "platform/system/status.h"

namespace lumra::sys {

// *value is the variable's value; false (and *value empty) when it is not set.
bool environment_value(const char* name, std::string* value);

// Sets the variable, or removes it when value is null.
Status set_environment(const char* name, const char* value);

}  // namespace lumra::sys
