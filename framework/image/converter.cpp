// The converter program run as a child process and waited for while the window's messages keep
// flowing, and the file dialogs' format list made from its answer.
#include "framework/image/converter.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/base/owned.h"
#include "framework/files/temp.h"
#include "framework/image/ghostscript.h"
#include "framework/input/clock.h"
#include "platform/system/fs.h"
#include "platform/system/process.h"

namespace lumra::image {
namespace {

using base::fail;
using base::failf;

constexpr const char* kConverter = "imgconv";
constexpr uint32_t kMessageIntervalMs = 50;
constexpr size_t kFormatListSize = 4096;

char g_format_list[kFormatListSize];
size_t g_format_list_used;

void clear_format_list() {
  g_format_list_used = 0;
  std::memset(g_format_list, 0, sizeof g_format_list);
}

// "description (pattern)" and "pattern" after the last pair, when both and the closing empty text
// fit.
void add_format(const std::string& description, const std::string& pattern) {
  const std::string shown = description + " (" + pattern + ")";
  const size_t needed = shown.size() + 1 + pattern.size() + 1;
  if (g_format_list_used + needed + 1 > kFormatListSize) return;
  std::memcpy(g_format_list + g_format_list_used, shown.c_str(), shown.size() + 1);
  g_format_list_used += shown.size() + 1;
  std::memcpy(g_format_list + g_format_list_used, pattern.c_str(), pattern.size() + 1);
  g_format_list_used += pattern.size() + 1;
  g_format_list[g_format_list_used] = '\0';
}

void add_fixed_formats() {
  add_format("All", "*.*");
  add_format("BMP(Windows bitmap)", "*.BMP");
  add_format("TIFF(Tagged Image File Format)", "*.TIF,*.TIFF");
  add_format("PCX(PC Paintbrush)", "*.PCX");
  add_format("JPG(Joint Photographic Experts Group)", "*.JPG");
  add_format("PNG(Portable Network Graphics)", "*.PNG");
  if (ghostscript_available()) add_format("PDF(Portable Document Format)", "*.PDF");
}

// One line of the converter's list: letters, extensions, description.
void add_listed_format(const std::string& line, char letter) {
  const size_t first = line.find('\t');
  if (first == std::string::npos) return;
  const size_t second = line.find('\t', first + 1);
  if (second == std::string::npos) return;
  if (first == 0 || line[0] != letter) return;
  const std::string extensions = line.substr(first + 1, second - first - 1);
  const size_t end = line.find_first_of("\t\r\n", second + 1);
  const std::string description = line.substr(second + 1, end == std::string::npos ? end : end - second - 1);
  std::string pattern;
  size_t start = 0;
  for (;;) {
    const size_t comma = extensions.find(',', start);
    const std::string extension = extensions.substr(start, comma == std::string::npos ? comma : comma - start);
    pattern += (pattern.empty() ? "" : ";") + std::string("*.") + extension;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  add_format(description, pattern);
}

}  // namespace

int converter_folder(std::string* out) {
  std::string folder;
  if (!files::temp_path(&folder)) return fail("no private temporary folder");
  folder += "convert-" + std::to_string(sys::process_id()) + "/";
  if (!files::make_private_folder(folder.c_str())) return failf("cannot make %s", folder.c_str());
  *out = folder;
  return 1;
}

void remove_temporary_folder(const std::string& folder) {
  std::string parent;
  if (folder.empty() || !files::temp_path(&parent)) return;
  base::OwnedDescriptor fd;
  if (!sys::ok(sys::open_folder(folder.c_str(), sys::Links::kNoFollow, fd.receive()))) return;
  std::vector<sys::FolderEntry> entries;
  if (sys::ok(sys::read_folder(fd.get(), &entries))) {
    for (const sys::FolderEntry& e : entries) sys::remove_file_at(fd.get(), e.name.c_str());
  }
  fd.reset();
  base::OwnedDescriptor up;
  if (!sys::ok(sys::open_folder(parent.c_str(), sys::Links::kNoFollow, up.receive()))) return;
  const std::string name = folder.substr(parent.size(), folder.size() - parent.size() - 1);
  sys::remove_folder_at(up.get(), name.c_str());
}

int run_converter(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);

  std::string program;
  if (!sys::ok(sys::find_program(kConverter, &program))) return failf("the converter %s is not installed", kConverter);
  std::vector<std::string> argv = sys::split_arguments(text.c_str());
  argv.insert(argv.begin(), program);
  uint32_t id = 0;
  sys::ChildStreams streams;
  if (const sys::Status s = sys::spawn(program.c_str(), argv, sys::SpawnOptions{}, &id, &streams); !sys::ok(s)) {
    return failf("cannot start %s: %s", program.c_str(), sys::describe(s));
  }
  // No time limit: a converter works as long as its picture needs.
  for (;;) {
    input::read_clock();  // dispatches the window's messages
    int exit_code = -1;
    const sys::ChildState state = sys::wait_child(id, kMessageIntervalMs, &exit_code);
    if (state == sys::ChildState::kRunning) continue;
    if (state != sys::ChildState::kEnded) return fail("lost the converter");
    if (exit_code != 0) return failf("the converter failed (%d)", exit_code);
    return 1;
  }
}

const char* picture_format_list(char letter) {
  clear_format_list();
  std::string folder;
  const bool have_folder = converter_folder(&folder) != 0;
  const std::string list = folder + "formatslist.txt";
  if (have_folder) sys::remove_file(list.c_str());
  if (have_folder && run_converter("-formatslist %s", sys::quote_argument(list).c_str())) {
    std::ifstream in(list, std::ios::binary);
    if (in) {
      add_format("All", "*.*");
      if (ghostscript_available()) add_format("PDF(Portable Document Format)", "*.PDF");
      std::string line;
      while (std::getline(in, line)) add_listed_format(line, letter);
      in.close();
      remove_temporary_folder(folder);
      return g_format_list;
    }
  }
  if (have_folder) remove_temporary_folder(folder);
  add_fixed_formats();
  return g_format_list;
}

}  // namespace lumra::image
