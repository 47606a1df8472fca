// posix_spawn for the desktop's helper programs. glibc's posix_spawn starts the child with
// clone(CLONE_VFORK) and resets handled signals itself; the attributes below also undo ignored
// ones and the mask, so the helper starts as if from a fresh shell.
#include "platform/posix/desktop_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace lumra::sys::posix {
namespace {

bool is_program(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Frees what posix_spawn's setup holds on every path out.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  bool actions_ready = false;
  bool attributes_ready = false;
  ~SpawnSetup() {
    if (actions_ready) posix_spawn_file_actions_destroy(&actions);
    if (attributes_ready) posix_spawnattr_destroy(&attributes);
  }
};

}  // namespace

std::string find_program(const std::string& name) {
  if (name.empty()) return "";
  if (name.find('/') != std::string::npos) return name.front() == '/' && is_program(name) ? name : "";
  const char* env = std::getenv("PATH");
  const std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = path.find(':', start);
    const std::string folder = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!folder.empty() && folder.front() == '/') {
      const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + name;
      if (is_program(candidate)) return candidate;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

int spawn_helper(const std::string& program, const std::vector<std::string>& arguments, const HelperStreams& streams,
                 pid_t* pid) {
  SpawnSetup s;
  if (int e = posix_spawn_file_actions_init(&s.actions)) return e;
  s.actions_ready = true;
  if (int e = posix_spawnattr_init(&s.attributes)) return e;
  s.attributes_ready = true;

  int e = posix_spawn_file_actions_addopen(&s.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!e && streams.output >= 0) e = posix_spawn_file_actions_adddup2(&s.actions, streams.output, STDOUT_FILENO);
  if (!e && streams.errors >= 0) e = posix_spawn_file_actions_adddup2(&s.actions, streams.errors, STDERR_FILENO);
  // Descriptors the rest of the program opened without close-on-exec (libraries do) stay here.
  if (!e) e = posix_spawn_file_actions_addclosefrom_np(&s.actions, STDERR_FILENO + 1);
  if (e) return e;

  sigset_t none;
  sigemptyset(&none);
  sigset_t plain;
  sigemptyset(&plain);
  for (const int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGPIPE, SIGCHLD, SIGUSR1, SIGUSR2, SIGTSTP,
                        SIGTTIN, SIGTTOU}) {
    sigaddset(&plain, sig);
  }
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (streams.new_session) flags |= POSIX_SPAWN_SETSID;
  e = posix_spawnattr_setflags(&s.attributes, flags);
  if (!e) e = posix_spawnattr_setsigmask(&s.attributes, &none);
  if (!e) e = posix_spawnattr_setsigdefault(&s.attributes, &plain);
  if (e) return e;

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return posix_spawn(pid, program.c_str(), &s.actions, &s.attributes, argv.data(), environ);
}

}  // namespace lumra::sys::posix
