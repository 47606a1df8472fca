// POSIX children and other processes: waitpid without blocking for this process's children,
// kill(0) and the state in /proc for any other process, signals to a child or its group. The
// children given up (release_child) are remembered until they are reaped; the ids of children
// reaped lately are remembered too, so that asking after one again answers "ended" even when the
// system has given its id to an unrelated process meanwhile.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/posix/process_internal.h"
#include "platform/system/clock.h"
#include "platform/system/process.h"

namespace lumra::sys {
namespace {

// How many reaped ids are remembered; older ones are forgotten first.
constexpr size_t kRememberedEnds = 64;
// The step of a timed wait for a child: how late its end may be noticed.
constexpr uint32_t kWaitStepMs = 5;

struct Children {
  std::vector<pid_t> released;  // given up, not yet reaped
  std::vector<pid_t> ended;     // reaped lately, oldest first
};
Children g_children;

bool valid_id(uint32_t id) { return id != 0 && id <= static_cast<uint32_t>(INT_MAX); }

void remove(std::vector<pid_t>* list, pid_t id) {
  list->erase(std::remove(list->begin(), list->end(), id), list->end());
}

bool ended_lately(pid_t id) {
  return std::find(g_children.ended.begin(), g_children.ended.end(), id) != g_children.ended.end();
}

void note_ended(pid_t id) {
  remove(&g_children.released, id);
  remove(&g_children.ended, id);
  if (g_children.ended.size() == kRememberedEnds) g_children.ended.erase(g_children.ended.begin());
  g_children.ended.push_back(id);
}

// One look at a child, reaping it when it has ended (its exit code then in *exit_code when given).
ChildState look(pid_t id, int* exit_code = nullptr) {
  if (ended_lately(id)) return ChildState::kEnded;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(id, &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return ChildState::kRunning;
  if (r == id) {
    note_ended(id);
    if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ChildState::kEnded;
  }
  remove(&g_children.released, id);
  return ChildState::kUnknown;
}

// A zombie still answers kill(0); its state in /proc tells it apart. Without /proc mounted the
// answer rests on kill alone.
bool zombie(pid_t id) {
  char name[32];
  std::snprintf(name, sizeof name, "/proc/%d/stat", static_cast<int>(id));
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char text[512];
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return false;
  text[n] = '\0';
  // "pid (name) state ...": the name may hold blanks and parentheses, so the state follows the
  // last ")".
  const char* close_paren = std::strrchr(text, ')');
  if (!close_paren || close_paren[1] != ' ') return false;
  const char state = close_paren[2];
  return state == 'Z' || state == 'X';
}

}  // namespace

namespace children {

void reap_released() {
  const std::vector<pid_t> released = g_children.released;
  for (const pid_t id : released) look(id);
}

void note_started(pid_t id) {
  remove(&g_children.ended, id);
  remove(&g_children.released, id);
}

}  // namespace children

ChildState wait_child(uint32_t id, uint32_t timeout_ms, int* exit_code) {
  children::reap_released();
  if (!valid_id(id)) return ChildState::kUnknown;
  const pid_t pid = static_cast<pid_t>(id);
  const uint64_t start = monotonic_ms();
  for (;;) {
    const ChildState state = look(pid, exit_code);
    const uint64_t spent = monotonic_ms() - start;
    if (state != ChildState::kRunning || spent >= timeout_ms) return state;
    sleep_ms(static_cast<uint32_t>(std::min<uint64_t>(kWaitStepMs, timeout_ms - spent)));
  }
}

void release_child(uint32_t id) {
  if (!valid_id(id)) return;
  const pid_t pid = static_cast<pid_t>(id);
  if (look(pid) != ChildState::kRunning) return;
  if (std::find(g_children.released.begin(), g_children.released.end(), pid) == g_children.released.end()) {
    g_children.released.push_back(pid);
  }
}

bool still_running(uint32_t id) {
  children::reap_released();
  if (!valid_id(id)) return false;
  const pid_t pid = static_cast<pid_t>(id);
  switch (look(pid)) {
    case ChildState::kRunning:
      return true;
    case ChildState::kEnded:
      return false;
    case ChildState::kUnknown:
      break;
  }
  // EPERM: it exists, under another user.
  if (kill(pid, 0) != 0 && errno != EPERM) return false;
  return !zombie(pid);
}

// Signals go only to a child still running unreaped: its id (and its group's) cannot have passed
// to another process.
Status interrupt_group(uint32_t id) {
  if (!valid_id(id) || look(static_cast<pid_t>(id)) != ChildState::kRunning) return Status{ESRCH};
  return killpg(static_cast<pid_t>(id), SIGINT) == 0 ? Status{} : Status{errno};
}

Status kill_process(uint32_t id) {
  if (!valid_id(id) || look(static_cast<pid_t>(id)) != ChildState::kRunning) return Status{ESRCH};
  return kill(static_cast<pid_t>(id), SIGKILL) == 0 ? Status{} : Status{errno};
}

}  // namespace lumra::sys
