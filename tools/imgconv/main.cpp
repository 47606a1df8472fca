// imgconv: the picture converter of the framework's loader. "imgconv IN OUT" writes the first
// picture of IN as a Windows BMP (version 3) to OUT; "imgconv -formatslist FILE" writes the
// formats it can read, one a line: the letters of what it can do ("r", "rw"), the format's
// extensions separated by commas, and its description, separated by tabs. Both go through
// ImageMagick's convert program, found on the search path; without it imgconv fails.
// Exit status 0 success, 1 failure (one line on stderr), 2 usage error.
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/system/fs.h"
#include "platform/system/process.h"

namespace {

using namespace lumra;

constexpr const char* kUsage =
    "usage: imgconv IN OUT\n"
    "       imgconv -formatslist FILE\n";

constexpr const char* kHelp =
    "Converts a picture in any format ImageMagick reads into a Windows BMP, for the picture loader.\n"
    "\n"
    "  IN OUT              writes the first picture of IN, transparency flattened onto white, to\n"
    "                      OUT as a BMP (version 3)\n"
    "  -formatslist FILE   writes the readable formats to FILE, one a line: \"r\" or \"rw\", the\n"
    "                      extensions (comma-separated) and the description, separated by tabs\n"
    "\n"
    "Needs ImageMagick's convert program on the search path.\n"
    "exit status: 0 success, 1 failure, 2 usage error\n";

constexpr uint32_t kWaitStepMs = 50;

int usage(const char* problem) {
  std::fprintf(stderr, "imgconv: %s\n%s", problem, kUsage);
  return 2;
}

int failure(const std::string& what) {
  std::fprintf(stderr, "imgconv: %s\n", what.c_str());
  return 1;
}

// Runs ImageMagick's convert with `arguments`; its standard output into *out when given. The
// child's exit code, or -1 when it could not be run or a signal ended it.
int run_convert(const std::vector<std::string>& arguments, std::string* out) {
  std::string program;
  if (!sys::ok(sys::find_program("convert", &program))) return -1;
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  sys::SpawnOptions options;
  options.capture = out != nullptr;
  uint32_t id = 0;
  sys::ChildStreams streams;
  if (!sys::ok(sys::spawn(program.c_str(), argv, options, &id, &streams))) return -1;
  if (out) {
    sys::close_descriptor(streams.input);
    sys::close_descriptor(streams.output_writer);
    sys::Descriptor pipes[] = {streams.output, streams.error};
    char buffer[4096];
    while (pipes[0] != sys::kNoDescriptor || pipes[1] != sys::kNoDescriptor) {
      sys::wait_readable(pipes, 2, kWaitStepMs);
      for (sys::Descriptor& d : pipes) {
        if (d == sys::kNoDescriptor) continue;
        size_t got = 0;
        bool ended = false;
        const sys::Status s = sys::read_waiting(d, buffer, sizeof buffer, &got, &ended);
        // What convert says on its standard error is passed on to ours.
        if (got > 0 && d == streams.output) out->append(buffer, got);
        if (got > 0 && d == streams.error) std::fwrite(buffer, 1, got, stderr);
        if (ended || !sys::ok(s)) {
          sys::close_descriptor(d);
          d = sys::kNoDescriptor;
        }
      }
    }
  }
  for (;;) {
    int code = -1;
    const sys::ChildState state = sys::wait_child(id, kWaitStepMs, &code);
    if (state == sys::ChildState::kRunning) continue;
    return state == sys::ChildState::kEnded ? code : -1;
  }
}

// A name ImageMagick takes as a file whatever it looks like: "gif:x" or "msl:x" would otherwise
// choose a coder (or a script) by its prefix.
std::string as_file(const char* path) {
  std::string p = path;
  return p.empty() || p[0] == '/' ? p : "./" + p;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// convert -list format: "  NAME[*]  MODULE  MODE  Description" with MODE as "rw+", "r--"...
std::string formats_list(const std::string& listing) {
  std::istringstream lines(listing);
  std::string line, text;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string name, module, mode;
    if (!(fields >> name >> module >> mode) || mode.size() != 3 || mode[0] != 'r' ||
        (mode[1] != 'w' && mode[1] != '-') || (mode[2] != '+' && mode[2] != '-')) {
      continue;
    }
    if (!name.empty() && name.back() == '*') name.pop_back();
    std::string description;
    std::getline(fields >> std::ws, description);
    if (name.empty() || description.empty()) continue;
    text += (mode[1] == 'w' ? "rw\t" : "r\t") + lower(name) + "\t" + description + "\n";
  }
  return text;
}

int write_formats(const char* file) {
  std::string listing;
  if (run_convert({"-list", "format"}, &listing) != 0) return failure("ImageMagick's convert is not installed or failed");
  const std::string text = formats_list(listing);
  if (text.empty()) return failure("ImageMagick lists no formats");
  std::FILE* f = std::fopen(file, "wb");
  if (!f) return failure(std::string("cannot write ") + file);
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !written) {
    std::remove(file);
    return failure(std::string("cannot write ") + file);
  }
  return 0;
}

int convert(const char* in, const char* out) {
  const int code = run_convert(
      {as_file(in) + "[0]", "-background", "white", "-flatten", "BMP3:" + as_file(out)}, nullptr);
  if (code < 0) return failure("ImageMagick's convert is not installed or did not end normally");
  if (code != 0) return failure(std::string("cannot convert ") + in);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc != 3) return usage("two arguments expected");
  if (std::strcmp(argv[1], "-formatslist") == 0) return write_formats(argv[2]);
  if (argv[1][0] == '-' && argv[1][1] != '\0') return usage((std::string("unknown option ") + argv[1]).c_str());
  return convert(argv[1], argv[2]);
}
