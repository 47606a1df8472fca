// Readers for the freedesktop files that name a desktop's applications: the key files
// (desktop entries, mimeapps.list, mimeinfo.cache: "[Group]" lines and "Key=Value" lines), value
// lists and escapes, and the Exec key's quoting and field codes. Pure text functions over bytes
// that anyone may have written: every input is bounded by the caller's read limit, every output
// by kMaxCommandBytes. Internal to platform/posix (the browser lookup); fuzzed by
// fuzz/fuzz_desktop_entry.cpp. Written here rather than taken from GLib so that the viewer needs
// nothing of a desktop installed to find a browser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumra::sys::xdg {

// Read limits: a desktop entry or mimeapps.list larger than this is not one; a mimeinfo.cache may
// be larger (it lists every application of the system).
inline constexpr size_t kMaxKeyFileBytes = 1 << 20;
inline constexpr size_t kMaxCacheBytes = 8 << 20;
// A command line that expands past this many bytes (program, arguments and one byte between
// each) is refused: the system could not start it anyway.
inline constexpr size_t kMaxCommandBytes = 128 * 1024;

// The raw value of the first `key` in the first group named `group` holding it, untouched by
// escapes; lines are split at "\n" (a "\r" before it is dropped), "#" lines are comments, blanks
// around "=" are ignored, and keys with a locale suffix ("Name[de]") are other keys. false when
// there is none or the text holds a NUL byte.
bool find_value(std::string_view text, std::string_view group, std::string_view key, std::string* out);

// The escapes of string values: \s space, \n, \t, \r, \\ backslash; any other backslash stays.
std::string unescape(std::string_view value);

// A ";"-separated list ("a;b;c;" or "a;b;c"); "\;" is a ";" inside an item; empty items dropped.
std::vector<std::string> split_list(std::string_view value);

// What the field codes of an Exec line stand for.
struct ExecContext {
  std::string file;          // %f %F %u %U
  std::string icon;          // %i: "--icon" and this, when not empty
  std::string name;          // %c
  std::string desktop_file;  // %k
};

struct ExecCommand {
  std::vector<std::string> arguments;  // the program first
  size_t file_argument = 0;            // index of the first argument that holds the file
};

// Splits an Exec value (string escapes already undone) by the desktop-entry rules: arguments are
// separated by spaces (tabs too); double quotes group, and inside them \" \` \$ \\ stand for the
// character after the backslash; a reserved character outside quotes is taken as it stands. The
// field codes outside quotes are replaced: %f %F %u %U by the file (an argument of its own, or
// inside a longer one), %i by "--icon" and the icon (nothing without an icon), %c by the name,
// %k by the desktop file, %% by "%"; the deprecated %d %D %n %N %v %m and unknown codes vanish (an
// argument made of nothing else vanishes with them). With no file code the file is added as the
// last argument. false for an unterminated quote, a NUL byte, no program, or a command past
// kMaxCommandBytes.
bool expand_exec(std::string_view exec, const ExecContext& context, ExecCommand* out);

}  // namespace lumra::sys::xdg
