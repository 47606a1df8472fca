// POSIX pipes to a child, used without blocking: reads on non-blocking ends, writes only of what
// poll says fits, and SIGPIPE held back while writing so that a child that has gone makes a write
// fail instead of ending this process.
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/system/clock.h"
#include "platform/system/process.h"

namespace lumra::sys {
namespace {

int fd_of(Descriptor d) { return static_cast<int>(d); }

// Blocks SIGPIPE for this thread while it lives; a SIGPIPE that the writes raised meanwhile
// (and that was not pending before) is taken away before the mask is put back.
class SigpipeHeld {
 public:
  SigpipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
  }
  SigpipeHeld(const SigpipeHeld&) = delete;
  SigpipeHeld& operator=(const SigpipeHeld&) = delete;
  ~SigpipeHeld() {
    if (raised_ && !was_pending_) {
      const timespec none{0, 0};
      while (sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  void note_raised() { raised_ = true; }

 private:
  sigset_t pipe_;
  sigset_t previous_;
  bool was_pending_ = false;
  bool raised_ = false;
};

}  // namespace

Status read_waiting(Descriptor d, void* out, size_t size, size_t* got, bool* ended) {
  *got = 0;
  *ended = false;
  for (;;) {
    const ssize_t n = read(fd_of(d), out, size);
    if (n > 0) {
      *got = static_cast<size_t>(n);
      return Status{};
    }
    if (n == 0) {
      *ended = size > 0;
      return Status{};
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Status{};
    return Status{errno};
  }
}

Status write_waiting(Descriptor d, const void* data, size_t size, size_t* written) {
  *written = 0;
  SigpipeHeld held;
  const char* bytes = static_cast<const char*>(data);
  while (*written < size) {
    pollfd p{fd_of(d), POLLOUT, 0};
    const int ready = poll(&p, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return Status{errno};
    if (ready == 0) return Status{};  // full: the rest does not fit now
    // A reader that has gone shows as POLLERR; the write below then fails with EPIPE.
    // POLLOUT promises room for PIPE_BUF bytes, which a write of at most that size takes whole
    // without blocking, even where the pipe is shared with a blocking writer.
    const size_t chunk = std::min<size_t>(size - *written, PIPE_BUF);
    const ssize_t n = write(fd_of(d), bytes + *written, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Status{};
    if (n < 0) {
      if (errno == EPIPE) held.note_raised();
      return Status{errno};
    }
    *written += static_cast<size_t>(n);
  }
  return Status{};
}

bool wait_readable(const Descriptor* pipes, size_t count, uint32_t timeout_ms) {
  constexpr size_t kMost = 8;
  pollfd fds[kMost];
  nfds_t n = 0;
  for (size_t i = 0; i < count && n < kMost; ++i) {
    if (pipes[i] != kNoDescriptor) fds[n++] = pollfd{fd_of(pipes[i]), POLLIN, 0};
  }
  if (n == 0) {
    sleep_ms(timeout_ms);
    return false;
  }
  const int ready = poll(fds, n, static_cast<int>(std::min<uint32_t>(timeout_ms, INT_MAX)));
  return ready > 0;
}

}  // namespace lumra::sys
