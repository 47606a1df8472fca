// Entry point of the archive command: argument checks, format choice, and the dispatch to one
// function per kind of action.
#include "framework/files/archive_command.h"

#include <cstdio>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/error.h"
#include "framework/base/owned.h"
#include "framework/base/shown_text.h"
#include "framework/files/archive_internal.h"
#include "framework/files/path.h"

namespace lumra::files {
namespace {

constexpr uint32_t kZipLocalSignature = 0x04034B50;
// An archive without members is only its end record, "PK\5\6": still a zip.
constexpr uint32_t kZipEndSignature = 0x06054B50;

bool zip_extension(const char* path) {
  const std::string ext = split_path(path).ext;
  return same_name(ext, ".zip") || same_name(ext, ".docx");
}

CommandNotes g_notes;
uint64_t g_memory_limit = kDefaultMemoryLimit;

}  // namespace

void set_archive_memory_limit(uint64_t bytes) { g_memory_limit = bytes; }
uint64_t archive_memory_limit() { return g_memory_limit; }

const CommandNotes& last_command_notes() { return g_notes; }
CommandNotes& command_notes() { return g_notes; }

void note_passed_over(const std::string& reason) {
  g_notes.passed_over.push_back(base::shown_text(reason));
  base::fail(reason.c_str());
}

int detect_archive_format(const char* archive) {
  const base::OwnedFile f(std::fopen(system_path(archive).c_str(), "rb"));
  uint8_t head[4];
  const bool got = f && std::fread(head, 1, sizeof head, f.get()) == sizeof head;
  if (!got) return zip_extension(archive) ? kFormatZip : kFormatNative;
  const uint32_t signature = base::load_u32le(head);
  return signature == kZipLocalSignature || signature == kZipEndSignature ? kFormatZip : kFormatNative;
}

int archive_command_internal(int action, const char* archive, int count, const char* list, int key,
                             ArchiveProgress progress, void* data, int method, int compress_always, int format,
                             MemberHeader* header_out, uint8_t** buffer_slot) {
  g_notes = CommandNotes{};
  if (action < kActionToMemory || action > kActionAddStored || action == kActionNone) return 1;
  if (!archive || !*archive) return base::fail("no archive named");
  if (count < 0 || (count > 0 && !list)) return base::fail("bad selection list");
  if (key < 0 || key > 255) return base::fail("scrambling key outside 0-255");
  Command c{};
  c.action = action;
  c.archive = archive;
  if (!parse_selection(list, count, &c.entries)) return 0;
  c.key = static_cast<uint8_t>(key);
  c.progress = progress;
  c.data = data;
  c.method = method;
  c.compress_always = compress_always != 0;
  c.format = format == kFormatZip || format == kFormatNative ? format : detect_archive_format(archive);
  c.header_out = header_out;
  c.buffer_slot = buffer_slot;
  switch (action) {
    case kActionToMemory:
    case kActionExtractBare:
    case kActionExtract:
      return run_extract(c);
    case kActionList:
      return run_list(c);
    case kActionDelete:
      return run_delete(c);
    default:
      return run_add(c);
  }
}

int archive_command(int action, const char* archive, int count, const char* list, int key, ArchiveProgress progress,
                    void* data, int method, int compress_always, int format) {
  if (action == kActionToMemory) return base::fail("action -1 needs the internal form of the archive command");
  return archive_command_internal(action, archive, count, list, key, progress, data, method, compress_always, format,
                                  nullptr, nullptr);
}

}  // namespace lumra::files
