// The desktop's own programs: opening a link with the user's handler, and the file-open dialog.
// Part of the system interface (platform/system/*.h), implemented once per operating system
// (platform/posix/desktop.cpp runs xdg-open, zenity or kdialog, never through a shell). Nothing
// here waits for a program to end: the dialog is started and then polled, so the caller keeps its
// window serviced meanwhile.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/fs.h"
#include "platform/system/status.h"

namespace lumra::sys {

// Opens `url` with the desktop's handler ("xdg-open URL"), in a session of its own (signals of this
// program's terminal do not reach it), with standard input from /dev/null, and returns at once:
// without a desktop environment xdg-open runs the handler in the foreground, for as long as it
// runs. Ended helpers are reaped without waiting, here and by reap_opened_links. The process id
// goes to *pid when given. A failure: no xdg-open (is_missing), a URL that is empty or begins with
// "-" (it would be read as an option), or the system's reason.
Status open_link(const char* url, uint32_t* pid = nullptr);

// Reaps the helpers open_link started that have ended since; never waits. The number still running.
int reap_opened_links();

// The file-open dialog.
struct FileDialogSpec {
  const char* title;           // "Select LVR file"
  const char* filter_name;     // "Lumra VR file"
  const char* filter_pattern;  // "*.lvr"
  uint64_t parent_window;      // the X11 window it belongs to (zenity --attach, kdialog --attach); 0: none
};

enum class DialogState : uint8_t {
  kRunning,      // still open: poll again
  kChosen,       // a file was chosen
  kCancelled,    // the user closed it without a choice
  kFailed,       // the dialog program failed or ended oddly (the reason says how)
  kUnavailable,  // no dialog program is installed (the reason is a one-line hint)
};

// One dialog program run. Destroying it while it runs ends the program.
struct FileDialog {
  int32_t process = 0;                // 0: none running
  Descriptor output = kNoDescriptor;  // its standard output
  Descriptor errors = kNoDescriptor;  // its standard error, kept back from the terminal
  std::string chosen;                 // what it printed
  std::string messages;               // the end of what it complained about
  std::string program;                // "zenity" or "kdialog"

  FileDialog() = default;
  FileDialog(const FileDialog&) = delete;
  FileDialog& operator=(const FileDialog&) = delete;
  ~FileDialog();
};

// Starts the dialog: `zenity --file-selection --title=TITLE --file-filter="NAME | PATTERN"` when
// zenity is on PATH, else `kdialog --title TITLE --getopenfilename . "PATTERN|NAME"`.
// kRunning when started; kUnavailable or kFailed with the reason in *reason.
DialogState start_file_dialog(const FileDialogSpec& spec, FileDialog* dialog, std::string* reason);

// Collects what the dialog printed and whether it has ended, waiting at most `wait_ms` for that
// (0: not at all). kChosen gives the path in *path (what the program printed, less the line break
// after it; never empty). kCancelled: the program answered 1. kFailed: any other end, with the
// reason in *reason (including the program's last message), or an answer past 64 KiB.
DialogState poll_file_dialog(FileDialog* dialog, uint32_t wait_ms, std::string* path, std::string* reason);

// Ends a running dialog (SIGTERM) and reaps it; does nothing to a dialog that is not running.
void cancel_file_dialog(FileDialog* dialog);

// The whole dialog for a caller that has nothing else to do than keep its window alive: starts
// it, then polls it every few milliseconds and calls `pump` in between; `pump` answers false to
// give up (the dialog is then ended and the result is kCancelled).
DialogState run_file_dialog(const FileDialogSpec& spec, bool (*pump)(void* data), void* data, std::string* path,
                            std::string* reason);

}  // namespace lumra::sys
