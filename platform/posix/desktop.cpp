// POSIX desktop helpers: xdg-open through posix_spawn with POSIX_SPAWN_SETSID, reaped later with
// waitpid(WNOHANG) on its own process id (no SIGCHLD handler, nothing that reaps other children);
// zenity or kdialog with their standard output and error on non-blocking pipes read by poll().
#include "platform/system/desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/desktop_spawn.h"
#include "platform/system/clock.h"

namespace lumra::sys {
namespace {

constexpr size_t kMaxAnswerBytes = 64 * 1024;  // a path, however long, is far below this
constexpr size_t kKeptMessageBytes = 4096;     // of the dialog's complaints, the last ones
constexpr uint32_t kCancelGraceMs = 1000;      // after SIGTERM, before SIGKILL
constexpr uint32_t kRunPollMs = 10;

std::vector<pid_t> g_links;  // open_link's helpers not yet reaped

int fd_of(Descriptor d) { return static_cast<int>(d); }

void close_fd(Descriptor* d) {
  if (*d != kNoDescriptor) close(fd_of(*d));
  *d = kNoDescriptor;
}

// Reads what is there without waiting; closes the descriptor at its end. false when `to` would
// pass `limit` (what is past it is dropped).
bool drain(Descriptor* d, std::string* to, size_t limit, bool keep_tail) {
  char buffer[4096];
  bool within = true;
  while (*d != kNoDescriptor) {
    const ssize_t n = read(fd_of(*d), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (n <= 0) {
      close_fd(d);
      break;
    }
    to->append(buffer, static_cast<size_t>(n));
    if (to->size() > limit) {
      within = false;
      if (keep_tail) {
        to->erase(0, to->size() - limit);
      } else {
        to->resize(limit);
      }
    }
  }
  return within;
}

std::string last_line(const std::string& text) {
  size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "";
  const size_t start = text.find_last_of('\n', end);
  return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}

// Waits for `pid` to end, at most `ms` milliseconds; true when it has (and is reaped).
bool reaped_within(pid_t pid, uint32_t ms, int* status) {
  const uint64_t until = monotonic_ms() + ms;
  for (;;) {
    const pid_t r = waitpid(pid, status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) return true;
    if (monotonic_ms() >= until) return false;
    sleep_ms(5);
  }
}

void stop_process(FileDialog* d) {
  if (d->process <= 0) return;
  const pid_t pid = d->process;
  int status = 0;
  kill(pid, SIGTERM);
  if (!reaped_within(pid, kCancelGraceMs, &status)) {
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  d->process = 0;
}

}  // namespace

int reap_opened_links() {
  std::vector<pid_t> running;
  for (const pid_t pid : g_links) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) running.push_back(pid);
  }
  g_links = std::move(running);
  return static_cast<int>(g_links.size());
}

Status open_link(const char* url, uint32_t* pid) {
  reap_opened_links();
  if (!url || !*url || url[0] == '-') return Status{EINVAL};
  const std::string program = posix::find_program("xdg-open");
  if (program.empty()) return Status{ENOENT};
  posix::HelperStreams streams;
  streams.new_session = true;
  pid_t child = 0;
  if (const int e = posix::spawn_helper(program, {url}, streams, &child)) return Status{e};
  g_links.push_back(child);
  if (pid) *pid = static_cast<uint32_t>(child);
  return Status{};
}

FileDialog::~FileDialog() { cancel_file_dialog(this); }

void cancel_file_dialog(FileDialog* d) {
  stop_process(d);
  close_fd(&d->output);
  close_fd(&d->errors);
}

DialogState start_file_dialog(const FileDialogSpec& spec, FileDialog* d, std::string* reason) {
  cancel_file_dialog(d);
  d->chosen.clear();
  d->messages.clear();
  const std::string title = spec.title ? spec.title : "";
  const std::string name = spec.filter_name ? spec.filter_name : "";
  const std::string pattern = spec.filter_pattern ? spec.filter_pattern : "*";
  const std::string window = std::to_string(spec.parent_window);
  std::vector<std::string> args;
  std::string program = posix::find_program("zenity");
  if (!program.empty()) {
    d->program = "zenity";
    args = {"--file-selection", "--title=" + title, "--file-filter=" + name + " | " + pattern};
    if (spec.parent_window) args.push_back("--attach=" + window);
  } else if (!(program = posix::find_program("kdialog")).empty()) {
    d->program = "kdialog";
    args = {"--title", title};
    if (spec.parent_window) args.insert(args.end(), {"--attach", window});
    args.insert(args.end(), {"--getopenfilename", ".", pattern + "|" + name});
  } else {
    if (reason) *reason = "no file dialog: install zenity or kdialog, or give the package path on the command line";
    return DialogState::kUnavailable;
  }
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    const int e = errno;
    for (const int fd : {out[0], out[1], err[0], err[1]}) {
      if (fd >= 0) close(fd);
    }
    if (reason) *reason = d->program + ": " + describe(Status{e});
    return DialogState::kFailed;
  }
  posix::HelperStreams streams;
  streams.output = out[1];
  streams.errors = err[1];
  pid_t pid = 0;
  const int e = posix::spawn_helper(program, args, streams, &pid);
  close(out[1]);
  close(err[1]);
  if (e) {
    close(out[0]);
    close(err[0]);
    if (reason) *reason = d->program + " cannot start: " + describe(Status{e});
    return DialogState::kFailed;
  }
  fcntl(out[0], F_SETFL, O_NONBLOCK);
  fcntl(err[0], F_SETFL, O_NONBLOCK);
  d->process = pid;
  d->output = out[0];
  d->errors = err[0];
  return DialogState::kRunning;
}

DialogState poll_file_dialog(FileDialog* d, uint32_t wait_ms, std::string* path, std::string* reason) {
  const auto failed = [&](std::string why) {
    cancel_file_dialog(d);
    if (reason) *reason = std::move(why);
    return DialogState::kFailed;
  };
  if (d->process <= 0) return failed("no file dialog is open");
  if (wait_ms > 0) {
    pollfd fds[2];
    nfds_t n = 0;
    for (const Descriptor fd : {d->output, d->errors}) {
      if (fd != kNoDescriptor) fds[n++] = pollfd{fd_of(fd), POLLIN, 0};
    }
    if (n > 0) {
      poll(fds, n, static_cast<int>(wait_ms));
    } else {
      sleep_ms(wait_ms < kRunPollMs ? wait_ms : kRunPollMs);  // both streams ended; the exit is near
    }
  }
  bool within = drain(&d->output, &d->chosen, kMaxAnswerBytes, false);
  drain(&d->errors, &d->messages, kKeptMessageBytes, true);
  if (!within) return failed(d->program + " answered more than a path");
  int status = 0;
  const pid_t r = waitpid(d->process, &status, WNOHANG);
  if (r == 0 || (r < 0 && errno == EINTR)) return DialogState::kRunning;
  d->process = 0;
  // What it wrote just before it ended is in the pipes still.
  within = drain(&d->output, &d->chosen, kMaxAnswerBytes, false);
  drain(&d->errors, &d->messages, kKeptMessageBytes, true);
  cancel_file_dialog(d);
  if (!within) return failed(d->program + " answered more than a path");
  if (r < 0) return failed(d->program + " was lost: " + describe(Status{errno}));
  const std::string complaint = last_line(d->messages);
  const std::string tail = complaint.empty() ? "" : ": " + complaint;
  if (WIFSIGNALED(status)) return failed(d->program + " was ended by signal " + std::to_string(WTERMSIG(status)) + tail);
  const int code = WEXITSTATUS(status);
  if (code == 1) return DialogState::kCancelled;
  if (code != 0) return failed(d->program + " ended with status " + std::to_string(code) + tail);
  std::string chosen = d->chosen;
  if (!chosen.empty() && chosen.back() == '\n') chosen.pop_back();
  if (chosen.empty()) return failed(d->program + " gave no file");
  if (path) *path = std::move(chosen);
  return DialogState::kChosen;
}

DialogState run_file_dialog(const FileDialogSpec& spec, bool (*pump)(void* data), void* data, std::string* path,
                            std::string* reason) {
  FileDialog d;
  DialogState state = start_file_dialog(spec, &d, reason);
  while (state == DialogState::kRunning) {
    state = poll_file_dialog(&d, kRunPollMs, path, reason);
    if (state == DialogState::kRunning && pump && !pump(data)) {
      cancel_file_dialog(&d);
      return DialogState::kCancelled;
    }
  }
  return state;
}

}  // namespace lumra::sys
