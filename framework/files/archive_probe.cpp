// Reads no more than the first native header: the same checks native_next makes, each with its
// own reason, where the archive command only sees the end of the members.
#include "framework/files/archive_probe.h"

#include <cstdio>
#include <cstring>

#include "framework/base/error.h"
#include "framework/files/archive_command.h"
#include "framework/files/member_header.h"
#include "framework/files/native_archive.h"

namespace lumra::files {
namespace {

using base::failf;

ArchiveLook neither(base::Failure) { return ArchiveLook::kNeither; }

bool check_bytes_zero(const uint8_t raw[kHeaderSize]) {
  for (size_t i = 100; i < kHeaderSize; ++i) {
    if (raw[i]) return false;
  }
  return true;
}

}  // namespace

ArchiveLook look_at_archive(const char* path, int format, int key) {
  NativeReader r;
  // A file that cannot be opened is the archive command's to report, with its own reason.
  if (!path || !native_open(&r, path, 0, "rb")) return ArchiveLook::kUnopened;
  if (r.file_size == 0) return ArchiveLook::kEmpty;
  if (format == kFormatZip || (format != kFormatNative && detect_archive_format(path) == kFormatZip)) {
    return ArchiveLook::kZip;
  }
  if (r.file_size < kHeaderSize) {
    return neither(failf("it is %llu bytes long, shorter than one native member header (110 bytes)",
                         static_cast<unsigned long long>(r.file_size)));
  }
  uint8_t raw[kHeaderSize];
  if (std::fread(raw, 1, sizeof raw, r.file.get()) != sizeof raw) return ArchiveLook::kUnopened;
  if (!check_bytes_zero(raw)) {
    if (key <= 0 || key > 255) {
      return neither(failf("the check bytes of its first header are not zero"));
    }
    unscramble(raw, sizeof raw, static_cast<uint8_t>(key));
    if (!check_bytes_zero(raw)) {
      return neither(failf("the check bytes of its first header are not zero, as stored or unscrambled"));
    }
  }
  MemberHeader h{};
  header_load(raw, &h);
  const auto first = static_cast<uint8_t>(h.name[0]);
  if (first < 32) return neither(failf("the name in its first header begins with the control byte 0x%02X", first));
  if (!std::memchr(h.name, 0, kHeaderNameSize)) return neither(failf("the name in its first header has no end"));
  if (h.record_length < kHeaderSize) {
    return neither(failf("its first record claims %u bytes, less than its own 110-byte header", h.record_length));
  }
  if (h.record_length > r.file_size) {
    return neither(failf("its first record claims %u bytes, more than the file's %llu", h.record_length,
                         static_cast<unsigned long long>(r.file_size)));
  }
  return ArchiveLook::kNative;
}

}  // namespace lumra::files
