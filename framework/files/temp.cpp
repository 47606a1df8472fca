// Private temporary folder and exclusive temporary names (the system-call half of what a desktop
// viewer needs to unpack a package where no other user can reach it).
#include "framework/files/temp.h"

#include <cstdio>

#include "framework/base/error.h"
#include "framework/base/owned.h"
#include "framework/files/path.h"
#include "platform/system/clock.h"
#include "platform/system/fs.h"
#include "platform/system/process.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

unsigned start_number() {
  static unsigned calls = 0;
  const uint64_t now = sys::monotonic_ms();
  const unsigned n = static_cast<unsigned>(now ^ (now >> 16) ^ (sys::process_id() << 3)) + 7919u * ++calls;
  return (n & 0xFFFF) ? (n & 0xFFFF) : 1;
}

std::string form_name(const std::string& folder, const char* prefix, unsigned unique) {
  char tail[32];
  std::snprintf(tail, sizeof tail, "%.3s%04X.tmp", prefix ? prefix : "", unique & 0xFFFF);
  std::string out = folder;
  if (!out.empty() && !is_separator(out.back())) out.push_back('/');
  return out + tail;
}

}  // namespace

int make_private_folder(const char* path) {
  if (!path || !*path) return fail("no folder");
  const std::string folder = system_path(path);
  const sys::Status made = sys::make_folder(folder.c_str(), sys::Access::kOwnerOnly);
  if (!sys::ok(made) && !sys::is_taken(made)) return failf("cannot create %s: %s", path, sys::describe(made));
  base::OwnedDescriptor fd;
  const sys::Status opened = sys::open_folder(folder.c_str(), sys::Links::kNoFollow, fd.receive());
  if (!sys::ok(opened)) return failf("%s is not a folder of its own: %s", path, sys::describe(opened));
  sys::FileInfo info{};
  if (!sys::ok(sys::file_info(fd.get(), &info)) || !info.mine) return failf("%s belongs to another user", path);
  if (info.shared) {
    if (const sys::Status closed = sys::make_owner_only(fd.get()); !sys::ok(closed)) {
      return failf("cannot make %s private: %s", path, sys::describe(closed));
    }
  }
  return 1;
}

namespace {
// The folder temp_path gave last and, when that is a fallback, the predictable name it stands in
// for: the process keeps using one fallback rather than making a new one at every call.
std::string g_base;
std::string g_fallback_of;
}  // namespace

int temp_path(std::string* out) {
  if (!out) return fail("no output");
  const std::string folder = sys::temp_folder() + "/lumra-" + sys::user_tag();
  if (make_private_folder(folder.c_str())) {
    g_base = folder;
    g_fallback_of.clear();
  } else if (g_fallback_of != folder || !make_private_folder(g_base.c_str())) {
    // Someone else holds the predictable name (another user's folder, a link): a fresh private
    // folder under a name nobody can guess instead.
    const std::string reason = base::last_error();
    std::string made;
    if (const sys::Status fresh = sys::make_unique_folder((folder + "-").c_str(), &made); !sys::ok(fresh)) {
      return failf("%s; no other private folder either: %s", reason.c_str(), sys::describe(fresh));
    }
    g_base = made;
    g_fallback_of = folder;
  }
  *out = g_base + "/";
  return 1;
}

bool in_private_temp(std::string_view path) {
  if (g_base.empty()) return false;
  const std::string p = system_path(path);
  return p.size() > g_base.size() && p.compare(0, g_base.size(), g_base) == 0 && p[g_base.size()] == '/';
}

unsigned temp_file_name(const char* folder, const char* prefix, unsigned unique, std::string* out) {
  if (!folder || !out) return fail("no folder for the temporary name");
  if (unique != 0) {
    *out = form_name(folder, prefix, unique);
    return unique & 0xFFFF ? unique & 0xFFFF : unique;
  }
  const unsigned start = start_number();
  unsigned n = start;
  do {
    const std::string name = form_name(folder, prefix, n);
    base::OwnedDescriptor fd;
    const sys::Status created =
        sys::create_new_file(system_path(name).c_str(), sys::Access::kOwnerOnly, fd.receive());
    if (sys::ok(created)) {
      *out = name;
      return n;
    }
    if (!sys::is_taken(created)) {
      return failf("cannot create a temporary file in %s: %s", folder, sys::describe(created));
    }
    n = n == 0xFFFF ? 1 : n + 1;
  } while (n != start);
  return failf("no free temporary name left in %s", folder);
}

}  // namespace lumra::files
