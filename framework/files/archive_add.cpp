// Adding files (actions 1, 2, 8) and merging archives (action 7). Everything is written into
// "TMPFILE.~KX" beside the archive, which replaces the archive only when all went well. Members of
// an existing archive that this command does not replace are carried over (native: a copy of the
// archive with the replaced records deleted in place; zip: raw copies), so adding never loses them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "framework/base/error.h"
#include "framework/base/heap.h"
#include "framework/files/archive_internal.h"
#include "framework/files/copy.h"
#include "framework/files/dos_time.h"
#include "framework/files/listing.h"
#include "framework/files/path.h"
#include "framework/files/safe_extract.h"

namespace lumra::files {
namespace {

using base::fail;
using base::failf;

constexpr uint64_t kMaxMemberSize = uint64_t{1} << 32;  // header sizes are 32-bit

struct AddFile {
  std::string path;    // on disk
  std::string stored;  // member name, "\" separated
};

// Upper case with "\" for "/": the form names are compared in.
std::string folded(std::string_view name) {
  std::string out(name);
  for (char& ch : out) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (ch == '/') ch = '\\';
  }
  return out;
}

bool is_packed_extension(std::string_view name) {
  const std::string ext = folded(split_path(name).ext);
  return ext == ".ZIP" || ext == ".LZH" || ext == ".ARJ" || ext == ".KX";
}

struct Add {
  Command& c;
  std::vector<AddFile> files;
  std::unordered_set<std::string> replaced;  // folded names this command writes
  uint8_t* block;                            // kBlockHeaderSize + 65535 bytes
  std::string temp;
  std::FILE* native_out = nullptr;
  ZipWriter zip_out{};
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
    const std::string source_dir = native_path(source.drive + source.dir);
    std::string file_dir = native_path(fp.drive + fp.dir);
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

bool plan_files(Add& a) {
  struct stat archive_st {};
  const bool archive_exists = stat(native_path(a.c.archive).c_str(), &archive_st) == 0;
  std::unordered_set<std::string> seen;
  for (const SelectionEntry& e : a.c.entries) {
    if (e.kind != EntryKind::kPlain && !e.selects) continue;
    const std::string spec = e.kind == EntryKind::kPlain ? e.text : e.pattern;
    const PathParts source = split_path(spec);
    base::DynArray listing{};
    base::clear_error();
    if (!list_files(&listing, spec.c_str(), a.c.action == kActionAddTree, kListFiles)) {
      if (*base::last_error()) return false;
      continue;
    }
    bool ok = true;
    uint8_t* at = nullptr;
    while (ok && base::array_next(&listing, &at)) {
      const auto* f = reinterpret_cast<const ListingEntry*>(at);
      if (!seen.insert(folded(f->path)).second) continue;
      if (folded(split_path(f->name).ext) == ".~KX") continue;
      struct stat st {};
      if (archive_exists && stat(f->path, &st) == 0 && st.st_dev == archive_st.st_dev && st.st_ino == archive_st.st_ino) {
        continue;  // the archive itself
      }
      AddFile file{f->path, {}};
      ok = stored_name(e, source, f->path, &file.stored);
      if (ok) {
        a.replaced.insert(folded(file.stored));
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
    MemberSource s{};
    if (!source_open(&s, e.text.c_str(), detect_archive_format(e.text.c_str()), a.c.key, true)) return false;
    int got = 0;
    while ((got = source_next(&s)) > 0) a.replaced.insert(folded(s.name));
    source_close(&s);
    if (got < 0) return false;
  }
  return true;
}

int native_value(const Command& c, std::string_view name) {
  if (c.action == kActionAddStored) return 0;
  if (!c.compress_always && is_packed_extension(name)) return 0;
  return c.method == kBlockLzw ? kBlockLzw : (c.method | 1);
}

int zip_level(const Command& c) { return c.action == kActionAddStored ? 0 : zip_level_for_method(c.method); }

// Native: rewrites the member's header once its record length is known.
bool finish_native_member(Add& a, off_t start, MemberHeader& h, uint32_t record_length) {
  h.record_length = record_length;
  if (fseeko(a.native_out, start, SEEK_SET) != 0) return fail("cannot seek in the temporary archive");
  if (!native_write_header(a.native_out, h, a.c.key)) return false;
  return fseeko(a.native_out, 0, SEEK_END) == 0 || fail("cannot seek in the temporary archive");
}

// Full reads of up to kBlockSize bytes.
ssize_t read_block(int fd, uint8_t* out) {
  size_t got = 0;
  while (got < kBlockSize) {
    const ssize_t n = read(fd, out + got, kBlockSize - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(got);
}

bool add_file_data(Add& a, int fd, MemberHeader& h, const AddFile& f, uint64_t size, uint32_t* record_length) {
  const int value = native_value(a.c, f.stored);
  uint64_t done = 0;
  for (;;) {
    const ssize_t n = read_block(fd, a.block);
    if (n < 0) return failf("cannot read %s: %s", f.path.c_str(), std::strerror(errno));
    if (n == 0) break;
    if (done + static_cast<uint64_t>(n) > size) break;
    if (a.native_out) {
      if (!native_write_block(a.native_out, a.block, static_cast<uint32_t>(n), value, a.c.key, record_length)) return false;
    } else if (!zip_entry_write(&a.zip_out, a.block, static_cast<unsigned>(n))) {
      return false;
    }
    if (!report_member(a.c, h, f.stored.c_str(), a.c.action, 0, static_cast<int64_t>(done))) return false;
    done += static_cast<uint64_t>(n);
  }
  if (done != size) return failf("%s changed while it was being added", f.path.c_str());
  return true;
}

bool add_file(Add& a, const AddFile& f) {
  const int fd = open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failf("cannot open %s: %s", f.path.c_str(), std::strerror(errno));
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 ? true : failf("cannot read %s", f.path.c_str());
  if (ok && static_cast<uint64_t>(st.st_size) >= kMaxMemberSize) ok = failf("%s is 4 GiB or larger", f.path.c_str());
  MemberHeader h{};
  h.unpacked_size = static_cast<uint32_t>(st.st_size);
  h.dos_time = dos_time_from_unix(st.st_mtime);
  h.record_length = a.native_out ? kHeaderSize : 0;
  if (ok && a.native_out) {
    if (!header_set_name(&h, f.stored)) {
      ok = failf("member name %s is longer than the 79 bytes a native header holds", f.stored.c_str());
    }
    const off_t start = ftello(a.native_out);
    uint32_t record_length = kHeaderSize;
    ok = ok && native_write_header(a.native_out, h, a.c.key) &&
         add_file_data(a, fd, h, f, static_cast<uint64_t>(st.st_size), &record_length) &&
         finish_native_member(a, start, h, record_length);
  } else if (ok) {
    header_set_name_prefix(&h, f.stored);
    ok = zip_entry_begin(&a.zip_out, f.stored, h.dos_time, zip_level(a.c)) &&
         add_file_data(a, fd, h, f, static_cast<uint64_t>(st.st_size), nullptr) && zip_entry_end(&a.zip_out);
  }
  close(fd);
  return ok && report_member(a.c, h, f.stored.c_str(), a.c.action, 1);
}

// One member of a merge source, decoded (or, native into native, copied block by block).
bool merge_member(Add& a, MemberSource& s) {
  MemberHeader h{};
  h.unpacked_size = s.header.unpacked_size;
  h.dos_time = s.header.dos_time;
  if (a.native_out) {
    if (!header_set_name(&h, s.name)) {
      return failf("member name %s is longer than the 79 bytes a native header holds", s.name.c_str());
    }
    h.record_length = kHeaderSize;
    const off_t start = ftello(a.native_out);
    uint32_t record_length = kHeaderSize;
    if (!native_write_header(a.native_out, h, a.c.key)) return false;
    if (!s.zip) {
      while (s.n.unpacked_left > 0) {
        uint32_t length = 0;
        uint32_t unpacked = 0;
        const int64_t at = static_cast<int64_t>(h.unpacked_size - s.n.unpacked_left);
        if (!native_read_raw_block(&s.n, a.c.key, a.block, &length, &unpacked)) return false;
        if (!native_write_block(a.native_out, a.block, length, kWriterRaw, a.c.key, &record_length)) return false;
        if (!report_member(a.c, h, s.name.c_str(), a.c.action, 0, at)) return false;
      }
      return finish_native_member(a, start, h, record_length) && report_member(a.c, h, s.name.c_str(), a.c.action, 1);
    }
    const int value = native_value(a.c, s.name);
    if (!source_begin(&s)) return false;
    while (s.left > 0) {
      const int64_t at = static_cast<int64_t>(h.unpacked_size - s.left);
      const uint32_t got = source_read(&s, a.block, kBlockSize);
      if (got == 0 || !native_write_block(a.native_out, a.block, got, value, a.c.key, &record_length) ||
          !report_member(a.c, h, s.name.c_str(), a.c.action, 0, at)) {
        return source_abandon(&s), false;
      }
    }
    return source_end(&s) && finish_native_member(a, start, h, record_length) &&
           report_member(a.c, h, s.name.c_str(), a.c.action, 1);
  }
  header_set_name_prefix(&h, s.name);
  if (!zip_entry_begin(&a.zip_out, s.name, h.dos_time, zip_level(a.c))) return false;
  if (!source_begin(&s)) return false;
  while (s.left > 0) {
    const int64_t at = static_cast<int64_t>(h.unpacked_size - s.left);
    const uint32_t got = source_read(&s, a.block, kBlockSize);
    if (got == 0 || !zip_entry_write(&a.zip_out, a.block, got) || !report_member(a.c, h, s.name.c_str(), a.c.action, 0, at)) {
      return source_abandon(&s), false;
    }
  }
  return source_end(&s) && zip_entry_end(&a.zip_out) && report_member(a.c, h, s.name.c_str(), a.c.action, 1);
}

bool merge_source(Add& a, const std::string& path) {
  MemberSource s{};
  if (!source_open(&s, path.c_str(), detect_archive_format(path.c_str()), a.c.key, true)) return false;
  bool ok = true;
  int got = 0;
  while (ok && (got = source_next(&s)) > 0) ok = merge_member(a, s);
  if (got < 0) ok = false;
  source_close(&s);
  return ok;
}

int decide_replaced(void* context, const MemberHeader& h) {
  const Add& a = *static_cast<const Add*>(context);
  if (!a.replaced.count(folded(h.name))) return 0;
  return report_member(a.c, h, h.name, kActionDelete, 0) ? 1 : -1;
}

// The temporary archive holding the kept members of the existing one, open for appending.
bool open_native_target(Add& a) {
  const int copied = copy_file(a.temp.c_str(), a.c.archive.c_str(), 0, nullptr, nullptr);
  if (copied == 1) {
    uint32_t deleted = 0;
    if (!native_delete_in_place(a.temp.c_str(), a.c.key, decide_replaced, &a, &deleted)) return false;
    a.native_out = std::fopen(native_path(a.temp).c_str(), "rb+");
    if (!a.native_out || fseeko(a.native_out, 0, SEEK_END) != 0) return failf("cannot open %s", a.temp.c_str());
    return true;
  }
  struct stat st {};
  if (copied == 0 || stat(native_path(a.c.archive).c_str(), &st) == 0) return failf("cannot copy %s", a.c.archive.c_str());
  const int fd = open(native_path(a.temp).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  a.native_out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (!a.native_out) {
    if (fd >= 0) close(fd);
    return failf("cannot create %s: %s", a.temp.c_str(), std::strerror(errno));
  }
  return true;
}

bool open_zip_target(Add& a) {
  if (!zip_writer_create(&a.zip_out, a.temp.c_str())) return false;
  struct stat st {};
  if (stat(native_path(a.c.archive).c_str(), &st) != 0 || st.st_size == 0) return true;
  ZipReader z{};
  if (!zip_reader_open(&z, a.c.archive.c_str())) return false;
  bool ok = true;
  int got = 0;
  for (got = zip_first(&z); ok && got > 0; got = zip_next(&z)) {
    if (a.replaced.count(folded(z.member.name))) {
      MemberHeader h{};
      zip_member_header(z, true, &h);
      ok = report_member(a.c, h, z.member.name.c_str(), kActionDelete, 0);
    } else {
      ok = zip_copy_raw(&z, &a.zip_out, a.block, kBlockSize);
    }
  }
  zip_reader_close(&z);
  return ok && got >= 0;
}

}  // namespace

int run_add(Command& c) {
  Add a{c, {}, {}, static_cast<uint8_t*>(base::heap_alloc(kBlockHeaderSize + 65535)), {}};
  if (!a.block) return fail("no memory for the working buffer");
  const PathParts ap = split_path(c.archive);
  a.temp = join_path(ap.drive, ap.dir, "TMPFILE", ".~KX");
  bool ok = c.action == kActionMerge ? plan_merge(a) : plan_files(a);
  bool temp_made = false;
  if (ok) {
    temp_made = true;
    ok = c.format == kFormatZip ? open_zip_target(a) : open_native_target(a);
  }
  if (ok && c.action == kActionMerge) {
    for (const SelectionEntry& e : c.entries) {
      if (!(ok = merge_source(a, e.text))) break;
    }
  } else if (ok) {
    for (const AddFile& f : a.files) {
      if (!(ok = add_file(a, f))) break;
    }
  }
  if (a.native_out) {
    if (std::fclose(a.native_out) != 0 && ok) ok = failf("cannot write %s: %s", a.temp.c_str(), std::strerror(errno));
  } else if (a.zip_out.handle) {
    if (ok) {
      ok = zip_writer_finish(&a.zip_out);
    } else {
      zip_writer_abandon(&a.zip_out);
    }
  }
  if (ok && rename(native_path(a.temp).c_str(), native_path(c.archive).c_str()) != 0) {
    ok = failf("cannot replace %s: %s", c.archive.c_str(), std::strerror(errno));
  }
  if (!ok && temp_made) unlink(native_path(a.temp).c_str());
  base::heap_free(a.block);
  return ok ? 1 : 0;
}

}  // namespace lumra::files
