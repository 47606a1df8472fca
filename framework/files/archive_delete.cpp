// Deleting (action 5): native archives in place (every record judged before anything moves),
// zip archives by raw-copying the kept members into a new temporary archive
// "<archive>-<unique>.~KX" beside it (see temp_archive.h), which replaces the archive only when
// something was deleted. Either way a failure leaves the archive as it was.
#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/files/archive_internal.h"
#include "framework/files/path.h"
#include "framework/files/temp_archive.h"
#include "platform/system/fs.h"

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
  ZipReader z;
  if (!zip_reader_open(&z, c.archive.c_str())) return 0;
  const base::HeapBlock block(base::heap_alloc(kBlockSize));
  if (!block) return fail("no memory for the working buffer");
  TempArchive temp;  // before `w`, so the copy is closed before it is removed
  if (!temp.create(c.archive + "-")) return 0;
  ZipWriter w;
  if (!zip_writer_create(&w, temp.descriptor(), temp.path())) return 0;
  uint32_t deleted = 0;
  MemberStep got = MemberStep::kEnd;
  for (got = zip_first(&z); got == MemberStep::kMember; got = zip_next(&z)) {
    MemberHeader h{};
    zip_member_header(z, true, &h);
    const std::string name = with_separator(z.member.name, '\\');
    if (selection_find_whole(c.entries, name) >= 0) {
      const MemberSizes sizes{z.member.uncompressed_size, z.member.compressed_size};
      if (!report_member(c, h, name.c_str(), kActionDelete, 0, 0, &sizes)) return 0;
      ++deleted;
    } else if (!zip_copy_raw(&z, &w, static_cast<uint8_t*>(block.get()), kBlockSize)) {
      return 0;
    }
  }
  if (got == MemberStep::kError) return 0;
  if (deleted == 0) return 1;  // nothing to delete: the archive stays, the copy goes
  if (!zip_writer_finish(&w)) return 0;
  return temp.commit(c.archive);
}

}  // namespace

int run_delete(Command& c) {
  if (c.format == kFormatZip) return delete_zip(c);
  uint32_t deleted = 0;
  return native_delete_in_place(c.archive.c_str(), c.key, decide_native, &c, &deleted);
}

}  // namespace lumra::files
