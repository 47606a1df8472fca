// lumra-arc: the archive command from the shell, for zip and native archives, and a test of an
// archive's data. Exit status 0 success, 1 failure (one line on stderr), 2 usage error. It says on
// standard output what it did to which member (deletions always, the rest with -v), notes on
// stderr what a DOS pattern really selects before acting, refuses a file that is no archive at
// all, and shows a progress line on stderr while it works when stderr is a terminal.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/error.h"
#include "framework/base/shown_text.h"
#include "framework/files/archive_command.h"
#include "framework/files/archive_probe.h"
#include "framework/files/archive_verify.h"
#include "framework/files/dos_time.h"
#include "framework/files/selection.h"
#include "platform/system/clock.h"
#include "platform/system/console.h"
#include "tools/lumra-arc/pattern_note.h"

namespace {

using namespace lumra::files;

constexpr const char* kUsage =
    "usage: lumra-arc ACTION ARCHIVE [ENTRY...] [-k KEY] [-f zip|native] [-m METHOD] [-c] [-q|-v]\n";

constexpr const char* kHelp =
    "Adds, extracts, lists, tests, deletes and merges members of zip and native (.KX) archives.\n"
    "\n"
    "actions:\n"
    "  x  extract with stored paths          e  extract to bare file names\n"
    "  l  list (name, unpacked size, stored size, date; then a summary)\n"
    "  t  test: read every selected member through without writing anything (zip: inflate and\n"
    "     check the CRC; native: decode every block and check the sizes); stops at the first\n"
    "     damaged member\n"
    "  a  add files                          r  add files, searching subfolders too\n"
    "  s  add files without compressing      d  delete members (each is named as it goes)\n"
    "  m  merge: each ENTRY names an archive whose members are copied in\n"
    "\n"
    "ENTRY is a selection pattern (at most 255 bytes):\n"
    "  P        members or files matching P (DOS wildcards; \"*.*\" is everything)\n"
    "  +P/D     placed under folder D; +P/+D keeps the members' own folders below D\n"
    "  -P/D     written under their bare names in the current folder\n"
    "x, e and t take \"*.*\" when no ENTRY is given; l lists everything.\n"
    "DOS wildcards ignore whatever follows a \"*\" in a name or an extension: \"*zero.bin\" is\n"
    "\"*.bin\". lumra-arc says so on stderr before it acts on such a pattern.\n"
    "A file that is neither a zip archive nor a readable native archive is an error; an empty\n"
    "(0-byte) file is an archive without members.\n"
    "\n"
    "options:\n"
    "  -k KEY     scrambling key 0-255 for native archives (0: none)\n"
    "  -f FORMAT  zip or native (default: from the archive's first bytes, else its name)\n"
    "  -m METHOD  compression: 0 run-length only, 2 LZW, 32 zlib (default), 64 fast, 128 best\n"
    "  -c         compress files that are already packed (.zip, .lzh, .arj, .kx) too\n"
    "  -v         name each member as x, e, a, r, s or m acts on it\n"
    "  -q         print nothing but errors (l still lists)\n"
    "  -h, --help this text\n"
    "\n"
    "exit status: 0 success, 1 failure, 2 usage error\n";

enum class Verbosity { kQuiet, kNormal, kVerbose };

struct Cli {
  int action = 0;
  Verbosity verbosity = Verbosity::kNormal;
  std::vector<SelectionEntry> listed_only;  // l: the members to print (empty: all), either format
  uint64_t listed = 0, listed_unpacked = 0, listed_stored = 0;
  bool tty = false;
  uint64_t members = 0;
  uint64_t tested = 0;
  int64_t last_shown_ms = 0;
  bool line_shown = false;
};

// "1 member", "2 members": counts in summaries read as sentences.
std::string count_of(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

void clear_progress(Cli& cli) {
  if (cli.line_shown) std::fputs("\r\033[K", stderr);
  cli.line_shown = false;
}

// Control characters, C1 controls and bidirectional overrides in a member name would break the
// one-line-per-member listing or act on the terminal: they are shown as escapes.
std::string printable(const char* name) { return lumra::base::shown_text(name ? name : ""); }

// One line on standard output naming a member: "deleting: NAME".
void say(Cli& cli, const char* verb, const char* name, const char* tail = "") {
  clear_progress(cli);
  std::printf("%s: %s%s\n", verb, printable(name).c_str(), tail);
}

void print_member(const ProgressInfo& info) {
  const DosCalendar t = unpack_dos_time(info.header->dos_time);
  std::printf("%s\t%llu\t%llu\t%04u-%02u-%02u %02u:%02u:%02u\n", printable(info.name).c_str(),
              static_cast<unsigned long long>(info.size), static_cast<unsigned long long>(info.stored), t.year, t.month,
              t.day, t.hour, t.minute, t.second);
}

bool is_extraction(int action) { return action == kActionExtract || action == kActionExtractBare; }

// The lines -v and the default level print as members are acted on.
void tell(Cli& cli, const ProgressInfo& info) {
  if (cli.verbosity == Verbosity::kQuiet) return;
  const bool verbose = cli.verbosity == Verbosity::kVerbose;
  if (info.action == kActionDelete) {
    // Adding and merging drop the older copy of a member they write again.
    if (cli.action == kActionDelete) {
      say(cli, "deleting", info.name);
    } else if (verbose) {
      say(cli, "replacing", info.name);
    }
  } else if (info.action == kActionVerify) {
    if (info.value == 1) say(cli, "testing", info.name, " OK");
  } else if (verbose && is_extraction(info.action) && info.value == 0) {
    say(cli, "extracting", info.name);
  } else if (verbose && !is_extraction(info.action) && info.value == 1) {
    say(cli, "adding", info.name);
  }
}

int progress(int code, void* data, const ProgressInfo& info) {
  Cli& cli = *static_cast<Cli*>(data);
  if (code == kProgressRetry) return 0;            // a block that fails once fails
  if (code == kProgressCannotCreate) return 1;     // an output that cannot be made fails the run
  if (info.action == kActionList) {
    if (info.value == 0) {
      // A zip listing reports every member: the patterns are applied here, to both formats alike.
      if (!cli.listed_only.empty() && selection_find_whole(cli.listed_only, info.name) < 0) return 1;
      print_member(info);
      ++cli.listed;
      cli.listed_unpacked += info.size;
      cli.listed_stored += info.stored;
    } else {
      std::printf("%s, %s unpacked, %s stored\n", count_of(cli.listed, "member", "members").c_str(),
                  count_of(cli.listed_unpacked, "byte", "bytes").c_str(),
                  count_of(cli.listed_stored, "byte", "bytes").c_str());
    }
    return 1;
  }
  if (info.action == kActionVerify && info.value == 1) ++cli.tested;
  tell(cli, info);
  const bool member_start = info.value == 0 && info.position == 0;
  if (member_start) ++cli.members;
  if (!cli.tty || cli.verbosity == Verbosity::kQuiet) return 1;
  const int64_t now = static_cast<int64_t>(lumra::sys::monotonic_ms());
  if (now - cli.last_shown_ms < 200) return 1;
  cli.last_shown_ms = now;
  std::fprintf(stderr, "\r\033[Klumra-arc: %s  %.60s", count_of(cli.members, "member", "members").c_str(),
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
    case 't': return kActionVerify;
    default: return 0;
  }
}

bool reads_archive(int action) {
  return is_extraction(action) || action == kActionList || action == kActionDelete || action == kActionVerify;
}

// The pattern the command matches for an entry: listing, and deletion from a zip, take entries
// whole; the other actions the pattern part of a "+" or "-" entry.
std::string matched_pattern(const std::string& entry, int action, int format) {
  const SelectionEntry e = parse_selection_entry(entry);
  if (e.kind == EntryKind::kPlain) return e.text;
  if (action == kActionList || (action == kActionDelete && format == kFormatZip)) return e.text;
  return e.selects ? e.pattern : std::string();
}

// One line on stderr for each pattern that the DOS rules cut short.
void note_patterns(const Cli& cli, const std::vector<std::string>& entries, int format) {
  if (cli.verbosity == Verbosity::kQuiet || cli.action == kActionMerge) return;
  const bool adding = cli.action == kActionAdd || cli.action == kActionAddTree || cli.action == kActionAddStored;
  for (const std::string& entry : entries) {
    const std::string pattern = matched_pattern(entry, cli.action, format);
    const std::string reach = lumra::arc::pattern_reach(pattern, adding ? "file" : "member");
    if (reach.empty()) continue;
    std::fprintf(stderr, "lumra-arc: note: \"%s\" selects %s (DOS patterns ignore what follows a \"*\")\n",
                 printable(pattern.c_str()).c_str(), reach.c_str());
  }
}

// The program's judgement of a file the command would read: one that is neither a zip archive
// nor a readable native archive is an error here, where the command itself would find no members
// in it. With `reading`, an empty file is taken as native (*format), which reads as an archive
// without members in any case; adding keeps the format it would write.
bool judge_archive(const std::string& path, int key, bool reading, int* format) {
  const ArchiveLook look = look_at_archive(path.c_str(), *format, key);
  if (look == ArchiveLook::kEmpty && reading) *format = kFormatNative;
  if (look != ArchiveLook::kNeither) return true;
  const std::string reason = lumra::base::last_error();
  const std::string shown = printable(path.c_str());
  // With -f native the user has ruled zip out; otherwise both formats were tried.
  const char* const lead = *format == kFormatNative ? "is no" : "is neither a zip archive nor a";
  if (key) {
    std::fprintf(stderr, "lumra-arc: %s %s native archive, plain or scrambled with key %d: %s\n", shown.c_str(), lead,
                 key, reason.c_str());
  } else {
    std::fprintf(stderr, "lumra-arc: %s %s plain native archive (a scrambled one needs its key: -k KEY): %s\n",
                 shown.c_str(), lead, reason.c_str());
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words;
  long key = 0;
  long method = 32;
  int format = kFormatDetect;
  bool compress_always = false;
  bool options_done = false;
  Cli cli;
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
      } else if (std::strcmp(a, "-q") == 0 || std::strcmp(a, "-v") == 0) {
        cli.verbosity = a[1] == 'q' ? Verbosity::kQuiet : Verbosity::kVerbose;
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
  cli.action = action_code(words[0].c_str());
  if (!cli.action) return usage_error((std::string("unknown action ") + words[0]).c_str());
  const std::string& archive = words[1];
  std::vector<std::string> entries(words.begin() + 2, words.end());
  if (entries.empty()) {
    if (is_extraction(cli.action) || cli.action == kActionVerify) {
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
  if (cli.action == kActionList) parse_selection(list.data(), static_cast<int>(entries.size()), &cli.listed_only);
  cli.tty = lumra::sys::is_terminal(stderr);
  lumra::base::clear_error();

  // A target of adding is judged too: members added behind bytes that read as no member would
  // never be found again.
  if (!judge_archive(archive, static_cast<int>(key), reads_archive(cli.action), &format)) return 1;
  if (cli.action == kActionMerge) {
    for (const std::string& source : entries) {
      int source_format = kFormatDetect;
      if (!judge_archive(source, static_cast<int>(key), true, &source_format)) return 1;
    }
  }
  const int seen_format = format == kFormatDetect ? detect_archive_format(archive.c_str()) : format;
  note_patterns(cli, entries, seen_format);
  std::fflush(stderr);

  const char* const selection = list.empty() ? nullptr : list.data();
  const int count = static_cast<int>(entries.size());
  int ok = 0;
  if (cli.action == kActionVerify) {
    ok = verify_archive(archive.c_str(), count, selection, static_cast<int>(key), progress, &cli, format);
  } else {
    ok = archive_command(cli.action, archive.c_str(), count, selection, static_cast<int>(key), progress, &cli,
                         static_cast<int>(method), compress_always ? 1 : 0, format);
  }
  clear_progress(cli);
  if (ok && cli.action == kActionVerify && cli.verbosity != Verbosity::kQuiet) {
    std::printf("%s tested, no errors\n", count_of(cli.tested, "member", "members").c_str());
  }
  if (std::fflush(stdout) != 0) {
    std::fprintf(stderr, "lumra-arc: cannot write to standard output\n");
    return 1;
  }
  if (!ok) {
    const char* reason = lumra::base::last_error();
    std::fprintf(stderr, "lumra-arc: %s\n", *reason ? reason : "the archive command failed");
    return 1;
  }
  // What was passed over is not lost silently: a warning each, and a failure status at the end.
  const CommandNotes& notes = last_command_notes();
  for (const std::string& reason : notes.passed_over) std::fprintf(stderr, "lumra-arc: warning: %s\n", reason.c_str());
  if (notes.unread_entries > 0) {
    std::fprintf(stderr,
                 "lumra-arc: the member walk ended early at a name beginning with a control character: %s "
                 "left unread\n",
                 count_of(notes.unread_entries, "central-directory entry", "central-directory entries").c_str());
    return 1;
  }
  if (!notes.passed_over.empty()) {
    std::fprintf(stderr, "lumra-arc: %s passed over; exiting with failure status\n",
                 count_of(notes.passed_over.size(), "file", "files").c_str());
    return 1;
  }
  return 0;
}
