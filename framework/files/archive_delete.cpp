// Deleting (action 5): native archives in place (every record judged before anything moves),
// zip archives by raw-copying the kept members into "<archive>.~KX", which replaces the archive
// only when something was deleted. Either way a failure leaves the archive as it was.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/archive_internal.h"
#include "framework/files/path.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

int decide_native(void* context, const MemberHeader& h) {
  const Command& c = *static_cast<const Command*>(context);
  if (!selection_selects_for_delete(c.entries, h.name)) return 0;
  return report_member(c, h, h.name, kActionDelete, 0) ? 1 : -1;
}

int delete_zip(Command& c) {
  ZipReader z{};
  if (!zip_reader_open(&z, c.archive.c_str())) return 0;
  auto* buffer = static_cast<uint8_t*>(base::heap_alloc(kBlockSize));
  if (!buffer) {
    zip_reader_close(&z);
    return fail("no memory for the working buffer");
  }
  const std::string temp = c.archive + ".~KX";
  ZipWriter w{};
  int ok = zip_writer_create(&w, temp.c_str());
  uint32_t deleted = 0;
  for (int got = ok ? zip_first(&z) : 0; ok; got = zip_next(&z)) {
    if (got < 0) ok = 0;
    if (got <= 0) break;
    MemberHeader h{};
    zip_member_header(z, true, &h);
    const std::string name = with_separator(z.member.name, '\\');
    if (selection_find_whole(c.entries, name) >= 0) {
      ok = report_member(c, h, name.c_str(), kActionDelete, 0);
      ++deleted;
    } else {
      ok = zip_copy_raw(&z, &w, buffer, kBlockSize);
    }
  }
  zip_reader_close(&z);
  base::heap_free(buffer);
  if (ok && deleted > 0) {
    ok = zip_writer_finish(&w);
    if (ok && rename(native_path(temp).c_str(), native_path(c.archive).c_str()) != 0) {
      ok = failf("cannot replace %s: %s", c.archive.c_str(), std::strerror(errno));
    }
  } else {
    zip_writer_abandon(&w);
  }
  if (!ok || deleted == 0) unlink(native_path(temp).c_str());
  return ok;
}

}  // namespace

int run_delete(Command& c) {
  if (c.format == kFormatZip) return delete_zip(c);
  uint32_t deleted = 0;
  return native_delete_in_place(c.archive.c_str(), c.key, decide_native, &c, &deleted);
}

}  // namespace lumra::files
