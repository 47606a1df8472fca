// The look at an archive before extraction or merging writes anything: every member's name and
// declared size, and for zip the bytes each member takes in the file. It reads headers only (the
// zip central directory and local headers), never member data.
//   - Two members whose names normalise to one ("\" and "/" alike, "." and empty components
//     dropped) make the archive ambiguous: memory and disk could be shown different files.
//   - Zip members whose local header and stored data overlap another's are the overlapping-member
//     bomb: one stored stream inflated again and again.
//   - Members that together claim more than the destination's file system has free would fill it.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/files/archive_internal.h"
#include "framework/files/path.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

// Kept free on the destination beyond what the members claim: their folders and the blocks their
// last bytes round up to need room too.
constexpr uint64_t kFreeSpaceMargin = 16 << 20;

// Memory stays small whatever the names: a member costs 40 bytes here (a name is remembered by a
// 128-bit hash of its normalised form; two honest names that differ sharing one is not a
// practical concern, and a crafted pair only gets its own archive refused).
struct Span {
  uint64_t begin;
  uint64_t end;
  uint64_t index;  // the member's place in the directory, from 1
};

struct NameKey {
  uint64_t a;
  uint64_t b;
  bool folder;
  bool operator<(const NameKey& o) const { return a != o.a ? a < o.a : b != o.b ? b < o.b : folder < o.folder; }
};

NameKey key_of(std::string_view normalised, bool folder) {
  uint64_t a = 0xcbf29ce484222325ull;  // FNV-1a
  uint64_t b = 0x9E3779B97F4A7C15ull;  // a multiply-xorshift of another seed
  for (const char ch : normalised) {
    const auto c = static_cast<uint8_t>(ch);
    a = (a ^ c) * 0x100000001b3ull;
    b = (b + c) * 0xff51afd7ed558ccdull;
    b ^= b >> 29;
  }
  return {a, b ^ normalised.size(), folder};
}

// The folder whose file system receives a root's files: the root itself or, while it is not yet
// made, the nearest folder above it.
std::string existing_folder(const std::string& root) {
  std::string path = root.empty() ? std::string(".") : system_path(root);
  for (;;) {
    sys::FileInfo info{};
    if (sys::ok(sys::file_info(path.c_str(), sys::Links::kFollow, &info))) return path;
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    path.erase(slash);
  }
}

bool check_free_space(const std::map<std::string, uint64_t>& claimed_by_root) {
  // Roots on one file system share its free space.
  std::map<uint64_t, std::pair<uint64_t, std::string>> by_device;
  for (const auto& [root, claimed] : claimed_by_root) {
    const std::string folder = existing_folder(root);
    sys::FileInfo info{};
    if (!sys::ok(sys::file_info(folder.c_str(), sys::Links::kFollow, &info))) continue;
    auto& entry = by_device[info.device];
    entry.first += claimed;
    entry.second = folder;
  }
  for (const auto& [device, claim] : by_device) {
    uint64_t free_bytes = 0;
    if (!sys::ok(sys::free_space(claim.second.c_str(), &free_bytes))) continue;
    const uint64_t usable = free_bytes > kFreeSpaceMargin ? free_bytes - kFreeSpaceMargin : 0;
    if (claim.first > usable) {
      return failf("refused: the members claim %llu bytes unpacked, more than the %llu bytes free on the file system "
                   "of %s (less %llu kept free)",
                   static_cast<unsigned long long>(claim.first), static_cast<unsigned long long>(free_bytes),
                   claim.second.c_str(), static_cast<unsigned long long>(kFreeSpaceMargin));
    }
  }
  return true;
}

bool check_spans(std::vector<Span>& spans) {
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
  for (size_t i = 1, widest = 0; i < spans.size(); ++i) {
    if (spans[i].begin < spans[widest].end) {
      return failf("refused: the zip is damaged: members %llu and %llu of its directory share stored bytes "
                   "(overlapping members)",
                   static_cast<unsigned long long>(spans[widest].index), static_cast<unsigned long long>(spans[i].index));
    }
    if (spans[i].end > spans[widest].end) widest = i;
  }
  return true;
}

// Two members under one normalised name, unless both are folders (which make one folder).
bool check_names(std::vector<NameKey>& names) {
  std::sort(names.begin(), names.end());
  for (size_t i = 1; i < names.size(); ++i) {
    const NameKey& p = names[i - 1];
    const NameKey& n = names[i];
    if (p.a == n.a && p.b == n.b && !(p.folder && n.folder)) {
      return fail("refused: two members share one name once \"\\\" and \"/\", \".\" and empty folders are set aside");
    }
  }
  return true;
}

}  // namespace

std::string normalised_name(std::string_view name) {
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || is_separator(name[i])) {
      const std::string_view part = name.substr(start, i - start);
      if (!part.empty() && part != ".") {
        if (!out.empty()) out.push_back('/');
        out.append(part);
      }
      start = i + 1;
    }
  }
  return out;
}

int check_archive(const Command& c, const std::string& path, int format, CheckFor purpose,
                  std::vector<uint64_t>* selected) {
  MemberSource s;
  if (!source_open(&s, path.c_str(), format, c.key, true)) return 0;
  std::vector<NameKey> names;
  std::vector<Span> spans;
  std::map<std::string, uint64_t> claimed_by_root;
  uint64_t index = 0;
  MemberStep got = MemberStep::kEnd;
  while ((got = source_next(&s)) == MemberStep::kMember) {
    ++index;
    const bool folder = !s.name.empty() && is_separator(s.name.back());
    names.push_back(key_of(normalised_name(s.name), folder));
    // Overlaps make the whole archive damaged, whatever is selected from it.
    if (s.zip) {
      Span span{0, 0, index};
      if (zip_member_span(&s.z, &span.begin, &span.end)) spans.push_back(span);
    }
    int entry = 0;
    if (purpose != CheckFor::kMerge && (entry = selection_find(c.entries, s.name)) < 0) continue;
    if (selected) selected->push_back(index);
    if (purpose == CheckFor::kFiles) {
      const OutputName where = selection_output(c.entries[static_cast<size_t>(entry)], c.action, s.name);
      claimed_by_root[where.root] += s.sizes.unpacked;
    }
  }
  if (got == MemberStep::kError) return 0;
  if (!check_names(names) || !check_spans(spans)) return 0;
  return check_free_space(claimed_by_root) ? 1 : 0;
}

}  // namespace lumra::files
