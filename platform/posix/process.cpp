// POSIX processes: getpid, the cores this process may use (sched_getaffinity on Linux; elsewhere
// the cores online), the program search along $PATH, and posix_spawn with pipes for the
// standard streams. Every pipe end is close-on-exec, and the child closes every descriptor above
// its standard three before it runs, so it inherits nothing the framework or a library opened.
#include "platform/system/process.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/process_internal.h"

extern char** environ;

namespace lumra::sys {
namespace {

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  int* receive() { return &fd_; }
  Descriptor release() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 ? Descriptor{fd} : kNoDescriptor;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd read;
  Fd write;
};

// Keeps a descriptor clear of 0, 1 and 2: the child's standard streams are made by dup2 onto
// those numbers, and a pipe end sitting on one of them (this process started with a standard
// stream closed) would be overwritten before it is copied.
bool above_standard(Fd* fd) {
  if (fd->get() > 2) return true;
  const int moved = fcntl(fd->get(), F_DUPFD_CLOEXEC, 3);
  if (moved < 0) return false;
  close(fd->get());
  *fd->receive() = moved;
  return true;
}

Status open_pipe(Pipe* p) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return Status{errno};
  *p->read.receive() = fds[0];
  *p->write.receive() = fds[1];
  if (!above_standard(&p->read) || !above_standard(&p->write)) return Status{errno};
  return Status{};
}

Status make_nonblocking(const Fd& fd) {
  const int flags = fcntl(fd.get(), F_GETFL);
  if (flags < 0 || fcntl(fd.get(), F_SETFL, flags | O_NONBLOCK) != 0) return Status{errno};
  return Status{};
}

struct FileActions {
  posix_spawn_file_actions_t actions;
  int error = posix_spawn_file_actions_init(&actions);
  FileActions() = default;
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  ~FileActions() {
    if (error == 0) posix_spawn_file_actions_destroy(&actions);
  }
};

struct Attributes {
  posix_spawnattr_t attributes;
  int error = posix_spawnattr_init(&attributes);
  Attributes() = default;
  Attributes(const Attributes&) = delete;
  Attributes& operator=(const Attributes&) = delete;
  ~Attributes() {
    if (error == 0) posix_spawnattr_destroy(&attributes);
  }
};

// Signals a host program or a non-interactive shell commonly ignores, which a child's console
// behaviour relies on: the break (SIGINT, SIGQUIT) and writing into a closed pipe (SIGPIPE).
int child_attributes(Attributes* a, bool own_group) {
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGQUIT);
  sigaddset(&defaults, SIGPIPE);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (own_group) flags |= POSIX_SPAWN_SETPGROUP;
  int e = posix_spawnattr_setsigmask(&a->attributes, &none);
  if (e == 0) e = posix_spawnattr_setsigdefault(&a->attributes, &defaults);
  if (e == 0 && own_group) e = posix_spawnattr_setpgroup(&a->attributes, 0);
  if (e == 0) e = posix_spawnattr_setflags(&a->attributes, flags);
  return e;
}

bool readable_file(const char* path) {
  const Fd fd(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  return fd.get() >= 0 && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
}

bool executable_file(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
}

std::string search_folders() {
  if (const char* path = std::getenv("PATH")) return path;
  const size_t n = confstr(_CS_PATH, nullptr, 0);
  if (n == 0) return "/bin:/usr/bin";
  std::string folders(n, '\0');
  confstr(_CS_PATH, folders.data(), n);
  folders.resize(n - 1);
  return folders;
}

}  // namespace

uint32_t process_id() { return static_cast<uint32_t>(getpid()); }

Status find_program(const char* name, std::string* out) {
  out->clear();
  if (!name || *name == '\0') return Status{ENOENT};
  if (readable_file(name)) {
    *out = name;
    return Status{};
  }
  if (std::strchr(name, '/')) return Status{ENOENT};
  const std::string folders = search_folders();
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(folders.find(':', start), folders.size());
    // An empty entry is the current folder, as the system's own search takes it.
    const std::string folder = end == start ? "." : folders.substr(start, end - start);
    std::string candidate = folder + "/" + name;
    if (executable_file(candidate)) {
      *out = std::move(candidate);
      return Status{};
    }
    if (end == folders.size()) break;
    start = end + 1;
  }
  return Status{ENOENT};
}

Status spawn(const char* path, const std::vector<std::string>& arguments, const SpawnOptions& options,
             uint32_t* id, ChildStreams* streams) {
  *id = 0;
  *streams = ChildStreams{};
  children::reap_released();
  if (!path || arguments.empty()) return Status{EINVAL};

  Pipe input, output, error;
  if (options.capture) {
    for (Pipe* p : {&input, &output, &error}) {
      if (const Status s = open_pipe(p); !ok(s)) return s;
    }
  }
  FileActions actions;
  if (actions.error != 0) return Status{actions.error};
  int e = 0;
  if (options.capture) {
    e = posix_spawn_file_actions_adddup2(&actions.actions, input.read.get(), STDIN_FILENO);
    if (e == 0) e = posix_spawn_file_actions_adddup2(&actions.actions, output.write.get(), STDOUT_FILENO);
    if (e == 0) e = posix_spawn_file_actions_adddup2(&actions.actions, error.write.get(), STDERR_FILENO);
  }
  // Close-on-exec is not everywhere: streams opened by fopen without "e", and descriptors of
  // libraries, would be inherited. Closing everything above 2 in the child covers them all.
  if (e == 0) e = posix_spawn_file_actions_addclosefrom_np(&actions.actions, STDERR_FILENO + 1);
  if (e != 0) return Status{e};
  Attributes attributes;
  if (attributes.error != 0) return Status{attributes.error};
  if ((e = child_attributes(&attributes, options.own_group)) != 0) return Status{e};

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  // glibc reports the child's exec failure here and reaps that child itself.
  e = posix_spawn(&child, path, &actions.actions, &attributes.attributes, argv.data(), environ);
  if (e != 0) return Status{e};
  children::note_started(child);
  *id = static_cast<uint32_t>(child);
  if (options.capture) {
    // Only the parent's own ends become non-blocking: the output pipe's second writer shares its
    // open file with the child's standard output, which must stay blocking for the child.
    for (const Fd* fd : {&input.write, &output.read, &error.read}) {
      if (const Status s = make_nonblocking(*fd); !ok(s)) {
        kill(child, SIGKILL);
        release_child(*id);
        *id = 0;
        return s;
      }
    }
    streams->input = input.write.release();
    streams->output = output.read.release();
    streams->output_writer = output.write.release();
    streams->error = error.read.release();
  }
  return Status{};
}

unsigned usable_cores() {
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    return n > 0 ? static_cast<unsigned>(n) : 1;
  }
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

}  // namespace lumra::sys
