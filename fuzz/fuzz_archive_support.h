// Shared by the archive fuzz targets: one scratch folder per process (on tmpfs when there is
// one), the input written there as an archive, and the check that extraction wrote nothing
// outside its destination folder.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/files/archive_command.h"
#include "framework/files/listing.h"

namespace lumra::fuzz {

// A plain buffer, not a std::string: the clean-up at exit must not outlive its name.
inline const char* scratch_path() {
  static char path[64];
  if (!path[0]) {
    std::snprintf(path, sizeof path, "%s", access("/dev/shm", W_OK) == 0 ? "/dev/shm/lumra-fuzz-XXXXXX" : "/tmp/lumra-fuzz-XXXXXX");
    if (!mkdtemp(path)) std::abort();
    std::atexit([] {
      files::delete_tree(path);
      rmdir(path);
    });
  }
  return path;
}
inline std::string scratch() { return scratch_path(); }

inline std::string write_input(const uint8_t* data, size_t size, const char* name) {
  const std::string path = scratch() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
  return path;
}

// The scratch folder must hold the archive and the destination, nothing else.
inline void check_nothing_outside(const char* archive_name) {
  DIR* d = opendir(scratch().c_str());
  if (!d) std::abort();
  while (const dirent* e = readdir(d)) {
    const char* n = e->d_name;
    if (std::strcmp(n, ".") && std::strcmp(n, "..") && std::strcmp(n, "out") && std::strcmp(n, archive_name)) {
      std::fprintf(stderr, "extraction wrote outside its destination: %s\n", n);
      std::abort();
    }
  }
  closedir(d);
}

inline int quiet_progress(int, void*, const files::ProgressInfo&) { return 1; }

// Extracts (action 4) into scratch/out, lists, and checks; then clears the destination.
inline void extract_and_list(const std::string& archive, const char* archive_name, int key, int format) {
  // Only the pattern ends at the first "/": the destination may hold any number of them.
  const std::string entry = "+*.*/+" + scratch() + "/out";
  char list[256] = {};
  std::snprintf(list, sizeof list, "%s", entry.c_str());
  files::archive_command(files::kActionExtract, archive.c_str(), 1, list, key, nullptr, nullptr, 32, 0, format);
  files::archive_command(files::kActionList, archive.c_str(), 0, nullptr, key, quiet_progress, nullptr, 32, 0, format);
  check_nothing_outside(archive_name);
  const std::string out = scratch() + "/out";
  files::delete_tree(out.c_str());
  rmdir(out.c_str());
}

}  // namespace lumra::fuzz
