// Listing (action 6): each selected member reported through the callback, then a summary with
// 64-bit totals. Zip names keep "/" here; member data is never opened.
#include "framework/base/error.h"
#include "framework/files/archive_internal.h"

namespace lumra::files {

int run_list(Command& c) {
  MemberSource s{};
  if (!source_open(&s, c.archive.c_str(), c.format, c.key, false)) return 0;
  uint64_t count = 0;
  uint64_t unpacked = 0;
  uint64_t stored = 0;
  int result = 1;
  for (;;) {
    const int got = source_next(&s);
    if (got < 0) result = 0;
    if (got <= 0) break;
    if (!c.entries.empty() && selection_find_whole(c.entries, s.name) < 0) continue;
    if (!report_member(c, s.header, s.name.c_str(), kActionList, 0)) {
      result = 0;
      break;
    }
    ++count;
    unpacked += s.header.unpacked_size;
    stored += s.header.record_length;
  }
  source_close(&s);
  if (!result) return 0;
  MemberHeader summary{};
  header_set_name_prefix(&summary, c.archive);
  summary.record_length = static_cast<uint32_t>(stored);
  summary.unpacked_size = static_cast<uint32_t>(unpacked);
  if (c.progress) {
    ProgressInfo info{};
    info.header = &summary;
    info.name = c.archive.c_str();
    info.action = kActionList;
    info.value = 1;
    info.count = count;
    info.total_unpacked = unpacked;
    info.total_stored = stored;
    if (!c.progress(kProgressMember, c.data, info)) return base::fail("aborted by the progress callback");
  }
  return 1;
}

}  // namespace lumra::files
