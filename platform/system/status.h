// Why a system call failed: the system's own error number, handed back with the call's result so
// that nothing called in between can change it (errno can be overwritten by the next call, even
// by one that succeeds). Shared by every system-service header.
#pragma once

namespace lumra::sys {

struct Status {
  int error = 0;  // 0: success; otherwise the system's error number
};

inline bool ok(Status s) { return s.error == 0; }

// The system's text for the failure ("No such file or directory"); "" for success.
const char* describe(Status s);

// The few causes the framework acts on rather than only reports.
bool is_missing(Status s);   // nothing under the name, or a folder on the way is missing
bool is_taken(Status s);     // something already stands under the name
bool is_disk_full(Status s);

}  // namespace lumra::sys
