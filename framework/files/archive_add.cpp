// Adding files (actions 1, 2, 8) and merging archives (action 7). Everything is written into a
// new temporary archive "TMPFILE-<unique>.~KX" beside the archive (see temp_archive.h), which
// replaces the archive only when all went well. Members of
// an existing archive that this command does not replace are carried over (native: a copy of the
// archive with the replaced records deleted in place; zip: raw copies), so adding never loses them.
#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/base/owned.h"
#include "framework/files/archive_internal.h"
#include "framework/files/copy.h"
#include "framework/files/dos_time.h"
#include "framework/files/listing.h"
#include "framework/files/path.h"
#include "framework/files/temp_archive.h"
#include "framework/files/safe_extract.h"
#include "platform/system/fs.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

// Native records hold sizes in 32 bits; zip members past that use the zip64 extensions.
constexpr uint64_t kMaxNativeMember = 0xFFFFFFFF;

struct AddFile {
  std::string path;    // on disk
  std::string stored;  // member name, "\" separated
};

// Upper case with "\" for "/": the form extensions are compared in.
std::string folded(std::string_view name) {
  std::string out(name);
  for (char& ch : out) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (ch == '/') ch = '\\';
  }
  return out;
}

// The form member names and paths are told apart in: "\" and "/" alike, case kept. On this
// system "Makefile" and "makefile" are two files, and a source tree may hold both: adding one must
// neither skip the other nor replace the member of the other's name.
std::string member_key(std::string_view name) { return with_separator(name, '\\'); }

bool is_packed_extension(std::string_view name) {
  const std::string ext = folded(split_path(name).ext);
  return ext == ".ZIP" || ext == ".LZH" || ext == ".ARJ" || ext == ".KX";
}

struct Add {
  Command& c;
  std::vector<AddFile> files;
  std::unordered_set<std::string> replaced;  // member_key of the names this command writes
  base::HeapBlock block_memory;
  uint8_t* block = nullptr;                  // kBlockHeaderSize + 65535 bytes
  TempArchive& temp;
  std::FILE* native_out = nullptr;           // the target: one of these two (the stream is temp's)
  ZipWriter zip_out;
};

// The name a listed file is stored under (see the entry grammar); false when it cannot be stored.
bool stored_name(const SelectionEntry& e, const PathParts& source, const std::string& path, std::string* out) {
  const PathParts fp = split_path(path);
  const std::string bare = fp.base + fp.ext;
  std::string name;
  if (e.kind == EntryKind::kPlain) {
    name = path;
  } else if (e.destination.empty()) {
    name = bare;
  } else if (e.destination[0] == '+') {
    const std::string source_dir = with_separator(source.drive + source.dir, '/');
    std::string file_dir = with_separator(fp.drive + fp.dir, '/');
    if (!source_dir.empty() && file_dir.compare(0, source_dir.size(), source_dir) == 0) {
      file_dir.erase(0, source_dir.size());
    }
    name = e.destination.substr(1) + "\\" + file_dir + bare;
  } else {
    name = e.destination + "\\" + bare;
  }
  *out = stored_name_form(name);
  if (out->empty()) return failf("%s gives an empty member name", path.c_str());
  return member_name_safe(*out);
}

// Whether a listed file can be added: a regular file that opens for reading. One that cannot is
// passed over with its reason noted, and a member of its name already in the archive stays.
bool readable_file(const char* path) {
  base::OwnedDescriptor fd;
  sys::FileInfo info{};
  sys::Status why = sys::open_file(path, fd.receive());
  if (sys::ok(why)) why = sys::file_info(fd.get(), &info);
  if (!sys::ok(why)) {
    note_passed_over(std::string("passed over ") + std::string(path) + ": " + sys::describe(why));
    return false;
  }
  if (info.kind != sys::FileKind::kFile) {
    note_passed_over(std::string("passed over ") + std::string(path) + ": not a regular file");
    return false;
  }
  return true;
}

bool plan_files(Add& a) {
  sys::FileInfo archive_info{};
  const bool archive_exists = sys::ok(sys::file_info(system_path(a.c.archive).c_str(), sys::Links::kFollow, &archive_info));
  std::unordered_set<std::string> seen;
  for (const SelectionEntry& e : a.c.entries) {
    if (e.kind != EntryKind::kPlain && !e.selects) continue;
    const std::string search = e.kind == EntryKind::kPlain ? e.text : e.pattern;
    const PathParts source = split_path(search);
    base::DynArray listing{};
    const ListOutcome listed = list_files_outcome(&listing, search.c_str(), a.c.action == kActionAddTree, kListFiles);
    if (listed == ListOutcome::kFailed) return false;
    if (listed == ListOutcome::kNothing) continue;
    bool ok = true;
    uint8_t* at = nullptr;
    while (ok && base::array_next(&listing, &at)) {
      const auto* f = reinterpret_cast<const ListingEntry*>(at);
      if (!seen.insert(member_key(f->path)).second) continue;
      if (folded(split_path(f->name).ext) == ".~KX") continue;
      sys::FileInfo info{};
      if (archive_exists && sys::ok(sys::file_info(f->path, sys::Links::kFollow, &info)) &&
          sys::same_file(info, archive_info)) {
        continue;  // the archive itself
      }
      if (!readable_file(f->path)) continue;  // passed over, noted
      AddFile file{f->path, {}};
      ok = stored_name(e, source, f->path, &file.stored);
      if (ok) {
        a.replaced.insert(member_key(file.stored));
        a.files.push_back(std::move(file));
      }
    }
    base::array_release(&listing);
    if (!ok) return false;
  }
  return true;
}

bool plan_merge(Add& a) {
  for (const SelectionEntry& e : a.c.entries) {
    if (!check_archive(a.c, e.text, detect_archive_format(e.text.c_str()), CheckFor::kMerge)) return false;
    MemberSource s;
    if (!source_open(&s, e.text.c_str(), detect_archive_format(e.text.c_str()), a.c.key, true)) return false;
    MemberStep got = MemberStep::kEnd;
    while ((got = source_next(&s)) == MemberStep::kMember) a.replaced.insert(member_key(s.name));
    if (got == MemberStep::kError) return false;
  }
  return true;
}

int native_value(const Command& c, std::string_view name) {
  if (c.action == kActionAddStored) return 0;
  if (!c.compress_always && is_packed_extension(name)) return 0;
  return c.method == kBlockLzw ? kBlockLzw : (c.method | 1);
}

int zip_level(const Command& c) { return c.action == kActionAddStored ? 0 : zip_level_for_method(c.method); }

// One member being written into the target, whichever its format.
struct MemberOut {
  MemberHeader header;
  MemberSizes sizes;       // the true unpacked size (stored: 0, not known while writing)
  const char* name;        // full name, for progress reports
  int value;               // native: the block writer's value
  int64_t start;           // native: where its header stands
  uint32_t record_length;  // native: header and blocks so far
};

// Puts down the member's header (native; rewritten by member_finish) or opens its zip entry.
bool member_begin(Add& a, MemberOut* m, const std::string& name, uint64_t unpacked_size, uint32_t dos_time, int value) {
  *m = MemberOut{};
  m->header.unpacked_size = header_size_field(unpacked_size);
  m->header.dos_time = dos_time;
  m->sizes = {unpacked_size, 0};
  m->name = name.c_str();
  m->value = value;
  if (!a.native_out) {
    header_set_name_prefix(&m->header, name);
    return zip_entry_begin(&a.zip_out, name, dos_time, zip_level(a.c), unpacked_size);
  }
  if (unpacked_size >= kMaxNativeMember) {
    return failf("%s is 4 GiB or larger: a native archive cannot hold it (a zip can)", name.c_str());
  }
  if (!header_set_name(&m->header, name)) {
    return failf("member name %s is longer than the 79 bytes a native header holds", name.c_str());
  }
  m->header.record_length = kHeaderSize;
  m->record_length = kHeaderSize;
  m->start = sys::tell(a.native_out);
  if (m->start < 0) return fail("cannot find the end of the temporary archive");
  return native_write_header(a.native_out, m->header, a.c.key) != 0;
}

// Writes the member's next `n` bytes (native with value kWriterRaw: one block as stored), which
// begin `at` bytes into its unpacked data.
bool member_write(Add& a, MemberOut& m, const uint8_t* data, uint32_t n, int64_t at) {
  const bool written = a.native_out ? native_write_block(a.native_out, data, n, m.value, a.c.key, &m.record_length) != 0
                                    : zip_entry_write(&a.zip_out, data, n) != 0;
  return written && report_member(a.c, m.header, m.name, a.c.action, 0, at, &m.sizes);
}

// Native: rewrites the header now that the record length is known; zip: closes the entry.
bool member_finish(Add& a, MemberOut& m) {
  if (a.native_out) {
    std::FILE* const f = a.native_out;
    m.header.record_length = m.record_length;
    if (!sys::seek(f, m.start)) return fail("cannot seek in the temporary archive");
    if (!native_write_header(f, m.header, a.c.key)) return false;
    if (std::fseek(f, 0, SEEK_END) != 0) return fail("cannot seek in the temporary archive");
  } else if (!zip_entry_end(&a.zip_out)) {
    return false;
  }
  m.sizes.stored = m.header.record_length;
  return report_member(a.c, m.header, m.name, a.c.action, 1, 0, &m.sizes);
}

bool add_file(Add& a, const AddFile& f) {
  base::OwnedDescriptor fd;
  // It opened while the command was planned: failing now, it changed under the command, which
  // then leaves the archive as it was rather than lose the member of that name.
  if (const sys::Status opened = sys::open_file(f.path.c_str(), fd.receive()); !sys::ok(opened)) {
    return failf("cannot open %s: %s", f.path.c_str(), sys::describe(opened));
  }
  sys::FileInfo info{};
  if (!sys::ok(sys::file_info(fd.get(), &info)) || info.kind != sys::FileKind::kFile) {
    return failf("%s changed while it was being added", f.path.c_str());
  }
  MemberOut m;
  if (!member_begin(a, &m, f.stored, info.size, dos_time_from_unix(info.modified.seconds),
                    native_value(a.c, f.stored))) {
    return false;
  }
  uint64_t done = 0;
  for (;;) {
    size_t n = 0;
    if (const sys::Status read = sys::read_full(fd.get(), a.block, kBlockSize, &n); !sys::ok(read)) {
      return failf("cannot read %s: %s", f.path.c_str(), sys::describe(read));
    }
    if (n == 0 || done + n > info.size) break;
    if (!member_write(a, m, a.block, static_cast<uint32_t>(n), static_cast<int64_t>(done))) return false;
    done += n;
  }
  if (done != info.size) return failf("%s changed while it was being added", f.path.c_str());
  return member_finish(a, m);
}

// One member of a merge source, decoded (or, native into native, copied block by block).
bool merge_member(Add& a, MemberSource& s) {
  const uint64_t size = s.sizes.unpacked;
  MemberOut m;
  if (!member_begin(a, &m, s.name, size, s.header.dos_time, native_value(a.c, s.name))) return false;
  if (a.native_out && !s.zip) {
    m.value = kWriterRaw;
    while (s.n.unpacked_left > 0) {
      const int64_t at = static_cast<int64_t>(size - s.n.unpacked_left);
      uint32_t length = 0;
      uint32_t unpacked = 0;
      if (!native_read_raw_block(&s.n, a.c.key, a.block, &length, &unpacked)) return false;
      if (!member_write(a, m, a.block, length, at)) return false;
    }
    return member_finish(a, m);
  }
  MemberData data = source_begin(&s);
  if (!data) return false;
  while (s.left > 0) {
    const int64_t at = static_cast<int64_t>(size - s.left);
    const uint32_t got = source_read(&s, a.block, kBlockSize);
    if (got == 0 || !member_write(a, m, a.block, got, at)) return false;
  }
  return source_end(std::move(data)) && member_finish(a, m);
}

bool merge_source(Add& a, const std::string& path) {
  MemberSource s;
  if (!source_open(&s, path.c_str(), detect_archive_format(path.c_str()), a.c.key, true)) return false;
  MemberStep got = MemberStep::kEnd;
  while ((got = source_next(&s)) == MemberStep::kMember) {
    if (!merge_member(a, s)) return false;
  }
  return got == MemberStep::kEnd;
}

int decide_replaced(void* context, const MemberHeader& h) {
  const Add& a = *static_cast<const Add*>(context);
  if (!a.replaced.count(member_key(h.name))) return 0;
  return report_member(a.c, h, h.name, kActionDelete, 0) ? 1 : -1;
}

// The temporary archive holding the kept members of the existing one, open for appending.
bool open_native_target(Add& a) {
  a.native_out = a.temp.stream();
  if (!a.native_out) return false;
  const base::OwnedFile old(std::fopen(system_path(a.c.archive).c_str(), "rb"));
  if (!old) {
    if (errno == ENOENT) return true;  // a new archive
    return failf("cannot open %s: %s", a.c.archive.c_str(), std::strerror(errno));
  }
  sys::FileInfo info{};
  if (!sys::ok(sys::file_info(sys::stream_descriptor(old.get()), &info)) || info.kind != sys::FileKind::kFile) {
    return failf("%s is not a regular file", a.c.archive.c_str());
  }
  if (!copy_range(a.native_out, 0, old.get(), 0, static_cast<int64_t>(info.size), nullptr, nullptr)) return false;
  uint32_t deleted = 0;
  if (!native_delete_in_stream(a.native_out, a.c.key, decide_replaced, &a, &deleted)) return false;
  if (std::fseek(a.native_out, 0, SEEK_END) != 0) return failf("cannot seek in %s", a.temp.path().c_str());
  return true;
}

bool open_zip_target(Add& a) {
  if (!zip_writer_create(&a.zip_out, a.temp.descriptor(), a.temp.path())) return false;
  sys::FileInfo info{};
  if (!sys::ok(sys::file_info(system_path(a.c.archive).c_str(), sys::Links::kFollow, &info)) || info.size == 0) {
    return true;
  }
  ZipReader z;
  if (!zip_reader_open(&z, a.c.archive.c_str())) return false;
  MemberStep got = MemberStep::kEnd;
  for (got = zip_first(&z); got == MemberStep::kMember; got = zip_next(&z)) {
    if (a.replaced.count(member_key(z.member.name))) {
      MemberHeader h{};
      zip_member_header(z, true, &h);
      // Named as every other report names a zip member: "\" separated.
      const MemberSizes sizes{z.member.uncompressed_size, z.member.compressed_size};
      if (!report_member(a.c, h, with_separator(z.member.name, '\\').c_str(), kActionDelete, 0, 0, &sizes)) return false;
    } else if (!zip_copy_raw(&z, &a.zip_out, a.block, kBlockSize)) {
      return false;
    }
  }
  return got == MemberStep::kEnd;
}

bool write_members(Add& a) {
  if (a.c.action == kActionMerge) {
    for (const SelectionEntry& e : a.c.entries) {
      if (!merge_source(a, e.text)) return false;
    }
    return true;
  }
  for (const AddFile& f : a.files) {
    if (!add_file(a, f)) return false;
  }
  return true;
}

// Writes the temporary archive: completed when everything went in (the zip directory written),
// abandoned otherwise.
bool write_target(Add& a) {
  const bool written = (a.c.format == kFormatZip ? open_zip_target(a) : open_native_target(a)) && write_members(a);
  if (a.native_out) return written;
  if (written && a.zip_out.handle) return zip_writer_finish(&a.zip_out) != 0;
  zip_writer_abandon(&a.zip_out);
  return written;
}

}  // namespace

int run_add(Command& c) {
  TempArchive temp;  // before `a`, so the writers are closed before it is removed
  Add a{c, {}, {}, base::HeapBlock(base::heap_alloc(kBlockHeaderSize + 65535)), nullptr, temp, nullptr, {}};
  if (!a.block_memory) return fail("no memory for the working buffer");
  a.block = static_cast<uint8_t*>(a.block_memory.get());
  if (!(c.action == kActionMerge ? plan_merge(a) : plan_files(a))) return 0;
  const PathParts ap = split_path(c.archive);
  if (!temp.create(join_path(ap.drive, ap.dir, "TMPFILE-", ""))) return 0;
  if (!write_target(a)) return 0;
  if (!temp.commit(c.archive)) return 0;
  // Encoders record reasons for blocks they could not shrink: the last word goes to what was
  // passed over.
  const CommandNotes& notes = command_notes();
  if (!notes.passed_over.empty()) base::fail(notes.passed_over.back().c_str());
  return 1;
}

}  // namespace lumra::files
