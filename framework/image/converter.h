// The external picture converter: the program "imgconv", found on the search path, turns a picture
// in any format it knows into a BMP ("imgconv IN OUT.BMP") and lists the formats it knows
// ("imgconv -formatslist FILE": one line per format, three fields separated by tabs: the letters
// of what it can do with the format ("r" read, "w" write), the format's extensions separated by
// commas, and its description). The project ships tools/imgconv, which works through ImageMagick.
#pragma once

#include <string>

namespace lumra::image {

// Runs the converter with the argument text the format makes (split by the Windows command-line
// rules, platform/system/process.h), dispatching the window's messages every 50 ms until it ends.
// 1 when it started and exited with code 0; 0 otherwise (not found, failed, killed by a signal).
int run_converter(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The folder for the converter's files (TMP.BMP, formatslist.txt): private to this process, made
// on first use inside the framework's temporary path. 1 with the path (ending in "/"), or 0.
int converter_folder(std::string* out);
// Removes a folder made directly inside the framework's temporary path (such as that one) with
// the files left in it.
void remove_temporary_folder(const std::string& folder);

// The formats for file dialogs: pairs of NUL-terminated texts, a description "Name (patterns)"
// then its patterns, ended by an empty text, in a process-wide buffer of 4096 bytes (pairs that
// would not fit are left out). Built from the converter's list, taking the formats whose first
// field begins with `letter`, after "All" / "*.*" and the PDF entry when Ghostscript is
// available; the fixed list of the framework's own readers when the converter cannot give one.
const char* picture_format_list(char letter);

}  // namespace lumra::image
