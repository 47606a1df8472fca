// POSIX termination signals: sigaction handlers that record the first signal and arm alarm() for
// the grace period; SIGALRM or a second signal runs the fallback. Everything the handlers touch is
// a lock-free atomic or is written before the atomic that publishes it, and the fallback's removal
// makes system calls only (platform/posix/tree_removal.h).
#include "platform/system/termination.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix/tree_removal.h"

namespace lumra::sys {
namespace {

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGTERM};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

struct Guard {
  std::atomic<int> armed;  // parent and name below are valid while 1
  int parent;
  char name[NAME_MAX + 1];
};

struct TerminationState {
  bool installed;
  bool caught[kSignalCount];  // false: ignored at start, left alone
  struct sigaction previous[kSignalCount];
  struct sigaction previous_alarm;
  std::atomic<int> signal;
  std::atomic<unsigned> grace_seconds;
  Guard guard;
};

TerminationState g_state{};
// The fallback's own work area: the program's removal may be what the signal interrupted.
posix::RemovalWork g_handler_work;

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free,
              "signal handlers need lock-free atomics");

[[noreturn]] void die_by(int sig) {
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(sig, &plain, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  _exit(128 + sig);
}

[[noreturn]] void fall_back(int sig) {
  if (g_state.guard.armed.load()) posix::remove_tree_at(g_state.guard.parent, g_state.guard.name, &g_handler_work);
  die_by(sig);
}

void on_termination(int sig) {
  const int saved = errno;
  int none = 0;
  if (!g_state.signal.compare_exchange_strong(none, sig)) fall_back(g_state.signal.load());
  const unsigned grace = g_state.grace_seconds.load();
  if (grace == 0) fall_back(sig);
  alarm(grace);
  errno = saved;
}

void on_alarm(int) {
  // An alarm with no termination signal behind it is not ours to act on.
  if (const int sig = g_state.signal.load()) fall_back(sig);
}

struct sigaction action_of(void (*handler)(int)) {
  struct sigaction a {};
  a.sa_handler = handler;
  // One handler at a time: a second signal waits until the first handler has returned.
  sigemptyset(&a.sa_mask);
  for (const int s : kSignals) sigaddset(&a.sa_mask, s);
  sigaddset(&a.sa_mask, SIGALRM);
  a.sa_flags = SA_RESTART;
  return a;
}

}  // namespace

bool catch_termination_signals(unsigned grace_seconds) {
  g_state.grace_seconds.store(grace_seconds);
  if (g_state.installed) return true;
  const struct sigaction handler = action_of(on_termination);
  const struct sigaction alarm_handler = action_of(on_alarm);
  for (int i = 0; i < kSignalCount; ++i) {
    if (sigaction(kSignals[i], nullptr, &g_state.previous[i]) != 0) return false;
    g_state.caught[i] = g_state.previous[i].sa_handler != SIG_IGN;
  }
  if (sigaction(SIGALRM, &alarm_handler, &g_state.previous_alarm) != 0) return false;
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_state.caught[i]) sigaction(kSignals[i], &handler, nullptr);
  }
  g_state.installed = true;
  return true;
}

int termination_signal() { return g_state.signal.load(); }

void end_by_termination_signal(int signal) {
  std::fflush(nullptr);
  if (signal <= 0 || signal >= NSIG) _exit(1);
  die_by(signal);
}

bool guard_folder(Descriptor parent, const char* name) {
  unguard_folder();
  if (!name || !*name || std::strlen(name) > NAME_MAX || std::strchr(name, '/')) return false;
  const int fd = fcntl(static_cast<int>(parent), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return false;
  g_state.guard.parent = fd;
  std::memcpy(g_state.guard.name, name, std::strlen(name) + 1);
  g_state.guard.armed.store(1);
  return true;
}

void unguard_folder() {
  if (g_state.guard.armed.exchange(0) == 0) return;
  close(g_state.guard.parent);
  g_state.guard.parent = -1;
}

void release_termination_signals() {
  if (!g_state.installed) return;
  alarm(0);
  for (int i = 0; i < kSignalCount; ++i) {
    if (g_state.caught[i]) sigaction(kSignals[i], &g_state.previous[i], nullptr);
  }
  sigaction(SIGALRM, &g_state.previous_alarm, nullptr);
  g_state.installed = false;
  g_state.signal.store(0);
}

}  // namespace lumra::sys
