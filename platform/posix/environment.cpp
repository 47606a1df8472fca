// POSIX environment: getenv, setenv and unsetenv.
#include "platform/system/environment.h"

#include <cerrno>
#include <cstdlib>

namespace lumra::sys {

bool environment_value(const char* name, std::string* value) {
  const char* v = name ? std::getenv(name) : nullptr;
  *value = v ? v : "";
  return v != nullptr;
}

Status set_environment(const char* name, const char* value) {
  const int r = value ? setenv(name, value, 1) : unsetenv(name);
  return r == 0 ? Status{} : Status{errno};
}

}  // namespace lumra::sys
