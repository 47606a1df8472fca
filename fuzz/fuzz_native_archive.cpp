// Native archive reader on hostile input: the first byte picks the key (0 or one fixed key), the
// rest is the archive. It is listed, extracted into a scratch folder (nothing may appear outside
// it), its first member read into memory (the claimed size must not be trusted), tested, and its
// first header judged as lumra-arc judges it.
#include <cstdint>

#include "framework/base/heap.h"
#include "framework/files/archive_probe.h"
#include "framework/files/archive_verify.h"
#include "fuzz/fuzz_archive_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra;
  if (size < 1) return 0;
  const int key = data[0] & 1 ? 0x5A : 0;
  const std::string archive = fuzz::write_input(data + 1, size - 1, "in.kx");
  fuzz::extract_and_list(archive, "in.kx", key, files::kFormatNative);
  char list[256] = "*.*";
  files::MemberHeader h{};
  uint8_t* memory = nullptr;
  files::archive_command_internal(files::kActionToMemory, archive.c_str(), 1, list, key, nullptr, nullptr, 32, 0,
                                  files::kFormatNative, &h, &memory);
  base::heap_free(memory);
  files::verify_archive(archive.c_str(), 0, nullptr, key, nullptr, nullptr, files::kFormatNative);
  files::look_at_archive(archive.c_str(), files::kFormatDetect, key);
  return 0;
}
