// Listing (action 6): each member reported through the callback, then a summary with 64-bit
// totals. A native listing reports the members the selection list picks (all of them for an
// empty list); a zip listing reports every member whatever the list says. Zip names keep "/"
// here; member data is never opened.
#include "framework/base/error.h"
#include "framework/files/archive_internal.h"

namespace lumra::files {
namespace {

struct Totals {
  uint64_t count = 0;
  uint64_t unpacked = 0;
  uint64_t stored = 0;
};

// Reports each selected member; the archive is closed again before the summary goes out.
bool report_members(const Command& c, Totals* t) {
  MemberSource s;
  if (!source_open(&s, c.archive.c_str(), c.format, c.key, false)) return false;
  MemberStep got = MemberStep::kEnd;
  while ((got = source_next(&s)) == MemberStep::kMember) {
    if (!s.zip && !c.entries.empty() && selection_find_whole(c.entries, s.name) < 0) continue;
    if (!report_member(c, s.header, s.name.c_str(), kActionList, 0, 0, &s.sizes)) return false;
    ++t->count;
    t->unpacked += s.sizes.unpacked;
    t->stored += s.sizes.stored;
  }
  return got == MemberStep::kEnd;
}

}  // namespace

int run_list(Command& c) {
  Totals t;
  if (!report_members(c, &t)) return 0;
  MemberHeader summary{};
  header_set_name_prefix(&summary, c.archive);
  summary.record_length = static_cast<uint32_t>(t.stored);
  summary.unpacked_size = static_cast<uint32_t>(t.unpacked);
  if (c.progress) {
    ProgressInfo info{};
    info.header = &summary;
    info.name = c.archive.c_str();
    info.action = kActionList;
    info.value = 1;
    info.count = t.count;
    info.total_unpacked = t.unpacked;
    info.total_stored = t.stored;
    if (!c.progress(kProgressMember, c.data, info)) return base::fail("aborted by the progress callback");
  }
  return 1;
}

}  // namespace lumra::files
