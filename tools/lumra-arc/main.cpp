// lumra-arc: the archive command from the shell, for zip and native archives.
// Exit status 0 success, 1 failure (one line on stderr), 2 usage error. Shows a progress line on
// stderr while it works when stderr is a terminal.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/files/archive_command.h"
#include "framework/files/dos_time.h"
#include "framework/files/selection.h"
#include "platform/system/clock.h"
#include "platform/system/console.h"

namespace {

using namespace lumra::files;

constexpr const char* kUsage =
    "usage: lumra-arc ACTION ARCHIVE [ENTRY...] [-k KEY] [-f zip|native] [-m METHOD] [-c]\n";

constexpr const char* kHelp =
    "Adds, extracts, lists, deletes and merges members of zip and native (.KX) archives.\n"
    "\n"
    "actions:\n"
    "  x  extract with stored paths          e  extract to bare file names\n"
    "  l  list (name, unpacked size, stored size, date; then a summary)\n"
    "  a  add files                          r  add files, searching subfolders too\n"
    "  s  add files without compressing      d  delete members\n"
    "  m  merge: each ENTRY names an archive whose members are copied in\n"
    "\n"
    "ENTRY is a selection pattern (at most 255 bytes):\n"
    "  P        members or files matching P (DOS wildcards; \"*.*\" is everything)\n"
    "  +P/D     placed under folder D; +P/+D keeps the members' own folders below D\n"
    "  -P/D     written under their bare names in the current folder\n"
    "x and e take \"*.*\" when no ENTRY is given; l lists everything.\n"
    "\n"
    "options:\n"
    "  -k KEY     scrambling key 0-255 for native archives (0: none)\n"
    "  -f FORMAT  zip or native (default: from the archive's first bytes, else its name)\n"
    "  -m METHOD  compression: 0 run-length only, 2 LZW, 32 zlib (default), 64 fast, 128 best\n"
    "  -c         compress files that are already packed (.zip, .lzh, .arj, .kx) too\n"
    "  -h, --help this text\n"
    "\n"
    "exit status: 0 success, 1 failure, 2 usage error\n";

struct Cli {
  int action = 0;
  bool tty = false;
  uint64_t members = 0;
  int64_t last_shown_ms = 0;
  bool line_shown = false;
};

void clear_progress(Cli& cli) {
  if (cli.line_shown) std::fputs("\r\033[K", stderr);
  cli.line_shown = false;
}

// Control characters in a member name would break the one-line-per-member listing.
std::string printable(const char* name) {
  std::string out = name ? name : "";
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  }
  return out;
}

void print_member(const ProgressInfo& info) {
  const DosCalendar t = unpack_dos_time(info.header->dos_time);
  std::printf("%s\t%u\t%u\t%04u-%02u-%02u %02u:%02u:%02u\n", printable(info.name).c_str(), info.header->unpacked_size,
              info.header->record_length, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

int progress(int code, void* data, const ProgressInfo& info) {
  Cli& cli = *static_cast<Cli*>(data);
  if (code == kProgressRetry) return 0;            // a block that fails once fails
  if (code == kProgressCannotCreate) return 1;     // an output that cannot be made fails the run
  if (info.action == kActionList) {
    if (info.value == 0) {
      print_member(info);
    } else {
      std::printf("%llu members, %llu bytes unpacked, %llu bytes stored\n",
                  static_cast<unsigned long long>(info.count), static_cast<unsigned long long>(info.total_unpacked),
                  static_cast<unsigned long long>(info.total_stored));
    }
    return 1;
  }
  const bool member_start = info.value == 0 && info.position == 0;
  if (member_start) ++cli.members;
  if (!cli.tty) return 1;
  const int64_t now = static_cast<int64_t>(lumra::sys::monotonic_ms());
  if (now - cli.last_shown_ms < 200) return 1;
  cli.last_shown_ms = now;
  std::fprintf(stderr, "\r\033[Klumra-arc: %llu members  %.60s", static_cast<unsigned long long>(cli.members),
               printable(info.name).c_str());
  cli.line_shown = true;
  return 1;
}

int usage_error(const char* message) {
  std::fprintf(stderr, "lumra-arc: %s\n%s", message, kUsage);
  return 2;
}

bool parse_int(const char* text, long low, long high, long* out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 0);
  if (errno || !end || *end || end == text || v < low || v > high) return false;
  *out = v;
  return true;
}

int action_code(const char* word) {
  if (std::strlen(word) != 1) return 0;
  switch (word[0]) {
    case 'x': return kActionExtract;
    case 'e': return kActionExtractBare;
    case 'l': return kActionList;
    case 'a': return kActionAdd;
    case 'r': return kActionAddTree;
    case 's': return kActionAddStored;
    case 'd': return kActionDelete;
    case 'm': return kActionMerge;
    default: return 0;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words;
  long key = 0;
  long method = 32;
  int format = kFormatDetect;
  bool compress_always = false;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!options_done && a[0] == '-' && a[1] != '\0') {
      if (std::strcmp(a, "--") == 0) {
        options_done = true;
      } else if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
      } else if (std::strcmp(a, "-c") == 0) {
        compress_always = true;
      } else if (std::strcmp(a, "-k") == 0 || std::strcmp(a, "-m") == 0 || std::strcmp(a, "-f") == 0) {
        if (i + 1 >= argc) return usage_error("option needs a value");
        const char* v = argv[++i];
        if (a[1] == 'k' && !parse_int(v, 0, 255, &key)) return usage_error("KEY must be a number from 0 to 255");
        if (a[1] == 'm' && !parse_int(v, 0, 0x7FFFFFFF, &method)) return usage_error("METHOD must be a number");
        if (a[1] == 'f') {
          if (std::strcmp(v, "zip") == 0) {
            format = kFormatZip;
          } else if (std::strcmp(v, "native") == 0) {
            format = kFormatNative;
          } else {
            return usage_error("FORMAT must be zip or native");
          }
        }
      } else {
        return usage_error((std::string("unknown option ") + a).c_str());
      }
      continue;
    }
    words.emplace_back(a);
  }
  if (words.size() < 2) return usage_error("ACTION and ARCHIVE are needed");
  Cli cli;
  cli.action = action_code(words[0].c_str());
  if (!cli.action) return usage_error((std::string("unknown action ") + words[0]).c_str());
  std::vector<std::string> entries(words.begin() + 2, words.end());
  if (entries.empty()) {
    if (cli.action == kActionExtract || cli.action == kActionExtractBare) {
      entries.emplace_back("*.*");
    } else if (cli.action != kActionList) {
      return usage_error("this action needs at least one ENTRY");
    }
  }
  std::vector<char> list(entries.size() * kEntrySize, '\0');
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].size() >= kEntrySize) return usage_error("an ENTRY is longer than 255 bytes");
    std::memcpy(list.data() + i * kEntrySize, entries[i].data(), entries[i].size());
  }
  cli.tty = lumra::sys::is_terminal(stderr);
  lumra::base::clear_error();
  const int ok = archive_command(cli.action, words[1].c_str(), static_cast<int>(entries.size()),
                                 list.empty() ? nullptr : list.data(), static_cast<int>(key), progress, &cli,
                                 static_cast<int>(method), compress_always ? 1 : 0, format);
  clear_progress(cli);
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "lumra-arc: cannot write the listing\n");
    return 1;
  }
  if (!ok) {
    const char* reason = lumra::base::last_error();
    std::fprintf(stderr, "lumra-arc: %s\n", *reason ? reason : "the archive command failed");
    return 1;
  }
  return 0;
}
