// Zip extraction on hostile input through minizip: the bytes are the archive. It is extracted
// into a scratch folder (nothing may appear outside it), listed, its first member read into
// memory, tested, and judged as lumra-arc judges a file it is given.
#include <cstdint>

#include "framework/base/heap.h"
#include "framework/files/archive_probe.h"
#include "framework/files/archive_verify.h"
#include "fuzz/fuzz_archive_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumra;
  const std::string archive = fuzz::write_input(data, size, "in.zip");
  fuzz::extract_and_list(archive, "in.zip", 0, files::kFormatZip);
  char list[256] = "*.*";
  files::MemberHeader h{};
  uint8_t* memory = nullptr;
  files::archive_command_internal(files::kActionToMemory, archive.c_str(), 1, list, 0, nullptr, nullptr, 32, 0,
                                  files::kFormatZip, &h, &memory);
  base::heap_free(memory);
  files::verify_archive(archive.c_str(), 0, nullptr, 0, nullptr, nullptr, files::kFormatZip);
  files::look_at_archive(archive.c_str(), files::kFormatDetect, 0);
  return 0;
}
