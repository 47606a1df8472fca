// Finding programs on PATH and starting the desktop's helper programs (xdg-open, zenity, kdialog)
// with posix_spawn: no shell, standard input from /dev/null, no descriptor inherited beyond the
// three standard ones, signal handling and mask back to the defaults. Internal to platform/posix.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace lumra::sys::posix {

// The executable regular file `name` names: a name with a "/" must be an absolute path; any other
// is looked up in the absolute entries of $PATH (empty and relative entries, which would mean the
// current folder, are passed over; with no $PATH, /usr/local/bin:/usr/bin:/bin). "" when none.
std::string find_program(const std::string& name);

struct HelperStreams {
  bool new_session = false;  // setsid: no controlling terminal, not in this program's job
  int output = -1;           // descriptor for its standard output; -1: this program's
  int errors = -1;           // for its standard error; -1: this program's
};

// Starts `program` (an absolute path) with `arguments` after it. 0 and the process id in *pid, or
// the system's error number.
int spawn_helper(const std::string& program, const std::vector<std::string>& arguments, const HelperStreams& streams,
                 pid_t* pid);

}  // namespace lumra::sys::posix
