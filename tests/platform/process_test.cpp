// The process services of the system layer with real children: the Windows argument rules, the
// program search, pipes that never block, what a child inherits, who reaps whom, and which ids
// signals may reach.
#include "platform/system/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/clock.h"

namespace lumra::sys {
namespace {

using Args = std::vector<std::string>;

TEST(SplitArguments, WindowsCommandLineRules) {
  struct Case {
    const char* text;
    Args expected;
  };
  const Case cases[] = {
      {nullptr, {}},
      {"", {}},
      {" \t  ", {}},
      {"a b\tc  ", {"a", "b", "c"}},
      {"a\nb", {"a\nb"}},  // only blanks and tabs separate
      {R"("abc" d e)", {"abc", "d", "e"}},
      {R"(a\\\b d"e f"g h)", {R"(a\\\b)", "de fg", "h"}},
      {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
      {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
      {R"(a"b"" c d)", {R"(ab" c d)"}},
      {R"("")", {""}},
      {R"("" "")", {"", ""}},
      {R"(""")", {"\""}},
      {R"("open quote runs to the end)", {"open quote runs to the end"}},
      {R"(\"quoted\")", {R"("quoted")"}},
      {R"(trailing\)", {R"(trailing\)"}},
      {R"("C:\Program Files\App\app.exe" --flag)", {R"(C:\Program Files\App\app.exe)", "--flag"}},
      {R"("C:\folder\\" next)", {R"(C:\folder\)", "next"}},
      {R"(\\server\share\ x)", {R"(\\server\share\)", "x"}},
      {R"(--user-data-dir="/tmp/x y" --allow-WD-access-from-files "/tmp/p q/index.html")",
       {"--user-data-dir=/tmp/x y", "--allow-WD-access-from-files", "/tmp/p q/index.html"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    EXPECT_EQ(split_arguments(c.text), c.expected);
  }
}

class Folder {
 public:
  Folder() {
    std::string pattern = temp_folder() + "/lumra-process-test-XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : "";
  }
  ~Folder() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  std::string file(const std::string& name, const std::string& text, mode_t mode) const {
    const std::string path = *this / name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
    return path;
  }

 private:
  std::string path_;
};

class PathSetting {
 public:
  explicit PathSetting(const std::string& value) : saved_(std::getenv("PATH") ? std::getenv("PATH") : "") {
    setenv("PATH", value.c_str(), 1);
  }
  ~PathSetting() { setenv("PATH", saved_.c_str(), 1); }
  PathSetting(const PathSetting&) = delete;
  PathSetting& operator=(const PathSetting&) = delete;

 private:
  std::string saved_;
};

TEST(FindProgram, PathAsItIsThenAlongThePath) {
  const Folder f;
  const std::string script = f.file("one/tool", "#!/bin/sh\n", 0755);
  f.file("one/data", "not a program", 0644);
  f.file("two/data", "#!/bin/sh\n", 0755);
  std::filesystem::create_directories(f / "one/folder");
  f.file("two/folder", "#!/bin/sh\n", 0755);
  const PathSetting path(f / "one" + ":" + f / "two");
  std::string found;

  ASSERT_TRUE(ok(find_program(script.c_str(), &found)));
  EXPECT_EQ(found, script) << "a file that opens is taken as it is";
  ASSERT_TRUE(ok(find_program("tool", &found)));
  EXPECT_EQ(found, script);
  ASSERT_TRUE(ok(find_program("data", &found)));
  EXPECT_EQ(found, f / "two/data") << "a file that may not be run is passed over";
  ASSERT_TRUE(ok(find_program("folder", &found)));
  EXPECT_EQ(found, f / "two/folder") << "so is a folder";
  EXPECT_TRUE(is_missing(find_program("lumra-no-such-program", &found)));
  EXPECT_TRUE(found.empty());
  EXPECT_TRUE(is_missing(find_program((f / "one/missing").c_str(), &found)));
  EXPECT_TRUE(is_missing(find_program("one/tool", &found))) << "a name with a folder is not searched for";
  EXPECT_TRUE(is_missing(find_program("", &found)));
  EXPECT_TRUE(is_missing(find_program(nullptr, &found)));
}

// A child's captured streams read to their ends: the output pipe's second writer is closed first,
// or its end never comes.
struct Captured {
  std::string output;
  std::string error;
};

Captured read_to_end(ChildStreams* s) {
  close_descriptor(s->output_writer);
  s->output_writer = kNoDescriptor;
  Captured c;
  bool out_ended = false;
  bool err_ended = false;
  const uint64_t give_up = monotonic_ms() + 5000;
  while ((!out_ended || !err_ended) && monotonic_ms() < give_up) {
    char buffer[256];
    size_t got = 0;
    if (!out_ended) {
      EXPECT_TRUE(ok(read_waiting(s->output, buffer, sizeof buffer, &got, &out_ended)));
      c.output.append(buffer, got);
    }
    if (!err_ended) {
      EXPECT_TRUE(ok(read_waiting(s->error, buffer, sizeof buffer, &got, &err_ended)));
      c.error.append(buffer, got);
    }
    const Descriptor pipes[] = {out_ended ? kNoDescriptor : s->output, err_ended ? kNoDescriptor : s->error};
    wait_readable(pipes, 2, 50);
  }
  return c;
}

void close_streams(ChildStreams* s) {
  for (Descriptor* d : {&s->input, &s->output, &s->output_writer, &s->error}) {
    if (*d != kNoDescriptor) close_descriptor(*d);
    *d = kNoDescriptor;
  }
}

uint32_t start(const Args& argv, ChildStreams* streams, bool own_group = false) {
  std::string path;
  EXPECT_TRUE(ok(find_program(argv[0].c_str(), &path))) << argv[0];
  SpawnOptions options;
  options.capture = streams != nullptr;
  options.own_group = own_group;
  uint32_t id = 0;
  ChildStreams none;
  EXPECT_TRUE(ok(spawn(path.c_str(), argv, options, &id, streams ? streams : &none)));
  return id;
}

TEST(Spawn, StandardStreamsArePipesThatNeverBlock) {
  ChildStreams s;
  const uint32_t id = start({"sh", "-c", "IFS= read -r a; echo \"out:$a\"; echo err >&2"}, &s);
  ASSERT_NE(id, 0u);
  char buffer[16];
  size_t got = 1;
  bool ended = true;
  EXPECT_TRUE(ok(read_waiting(s.output, buffer, sizeof buffer, &got, &ended)));
  EXPECT_EQ(got, 0u) << "nothing written yet, and the read did not wait";
  EXPECT_FALSE(ended);
  size_t written = 0;
  EXPECT_TRUE(ok(write_waiting(s.output_writer, "echo;", 5, &written)));
  EXPECT_TRUE(ok(write_waiting(s.input, "hi\n", 3, &written)));
  EXPECT_EQ(written, 3u);
  const Captured c = read_to_end(&s);
  EXPECT_EQ(c.output, "echo;out:hi\n") << "the parent's own bytes come first, in the same pipe";
  EXPECT_EQ(c.error, "err\n");
  EXPECT_EQ(wait_child(id, 5000), ChildState::kEnded);
  close_streams(&s);
}

TEST(Spawn, ChildrenInheritOnlyTheStandardStreams) {
  const int leaky = open("/dev/null", O_RDONLY);  // deliberately not close-on-exec
  ASSERT_GE(leaky, 0);
  ChildStreams s;
  const uint32_t id = start({"ls", "/proc/self/fd"}, &s);
  const Captured c = read_to_end(&s);
  EXPECT_EQ(c.output, "0\n1\n2\n3\n") << "the three streams and the folder ls itself reads";
  EXPECT_EQ(wait_child(id, 5000), ChildState::kEnded);
  close_streams(&s);
  close(leaky);
}

TEST(Spawn, ChildrenStartWithNothingBlockedAndTheConsoleSignalsAtTheirDefaults) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction old_int {
  }, old_pipe{};
  sigaction(SIGINT, &ignore, &old_int);
  sigaction(SIGPIPE, &ignore, &old_pipe);
  sigset_t usr1, old_mask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  sigprocmask(SIG_BLOCK, &usr1, &old_mask);

  ChildStreams s;
  const uint32_t id = start({"grep", "-E", "^Sig(Blk|Ign)", "/proc/self/status"}, &s);
  sigprocmask(SIG_SETMASK, &old_mask, nullptr);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGPIPE, &old_pipe, nullptr);
  const Captured c = read_to_end(&s);
  const size_t blocked = c.output.find("SigBlk:\t");
  const size_t ignored = c.output.find("SigIgn:\t");
  ASSERT_NE(blocked, std::string::npos);
  ASSERT_NE(ignored, std::string::npos);
  EXPECT_EQ(std::stoull(c.output.substr(blocked + 8, 16), nullptr, 16), 0u);
  const unsigned long long ignored_mask = std::stoull(c.output.substr(ignored + 8, 16), nullptr, 16);
  for (const int sig : {SIGINT, SIGQUIT, SIGPIPE}) EXPECT_EQ(ignored_mask >> (sig - 1) & 1, 0u) << sig;
  EXPECT_EQ(wait_child(id, 5000), ChildState::kEnded);
  close_streams(&s);
}

TEST(Spawn, AFileThatCannotRunLeavesNothingBehind) {
  const Folder f;
  const std::string text = f.file("text", "no program", 0644);
  const std::string empty = f.file("empty", "", 0755);
  for (const std::string& path : {text, empty, f / "missing"}) {
    SCOPED_TRACE(path);
    SpawnOptions capture;
    capture.capture = true;
    uint32_t id = 7;
    ChildStreams s;
    s.input = 99;
    EXPECT_FALSE(ok(spawn(path.c_str(), {path}, capture, &id, &s)));
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(s.input, kNoDescriptor);
    EXPECT_EQ(s.output, kNoDescriptor);
  }
}

TEST(Pipes, WritesTakeWhatFitsAndAGoneReaderRaisesNoSignal) {
  ChildStreams s;
  const uint32_t id = start({"sleep", "10"}, &s);
  const std::string block(1 << 20, 'x');
  size_t written = 0;
  const uint64_t t0 = monotonic_ms();
  EXPECT_TRUE(ok(write_waiting(s.input, block.data(), block.size(), &written)));
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, block.size()) << "a pipe nobody reads fills up";
  EXPECT_LT(monotonic_ms() - t0, 2000u) << "and the write did not wait for room";
  ASSERT_TRUE(ok(kill_process(id)));
  EXPECT_EQ(wait_child(id, 5000), ChildState::kEnded);

  const Status gone = write_waiting(s.input, "x", 1, &written);
  EXPECT_EQ(gone.error, EPIPE) << "the process is still here to see it";
  sigset_t pending;
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0) << "no SIGPIPE left waiting";
  close_streams(&s);
}

bool eventually(const std::function<bool()>& condition) {
  const uint64_t end = monotonic_ms() + 5000;
  while (!condition()) {
    if (monotonic_ms() > end) return false;
    sleep_ms(2);
  }
  return true;
}

char proc_state(uint32_t id) {
  std::ifstream in("/proc/" + std::to_string(id) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t paren = text.rfind(')');
  return paren == std::string::npos || paren + 2 >= text.size() ? 0 : text[paren + 2];
}

std::string comm(uint32_t id) {
  std::ifstream in("/proc/" + std::to_string(id) + "/comm");
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

long pid_max() {
  std::ifstream in("/proc/sys/kernel/pid_max");
  long n = 0;
  in >> n;
  return n;
}

TEST(StillRunning, IdsThatAreNoProcess) {
  EXPECT_FALSE(still_running(0));
  EXPECT_FALSE(still_running(0xFFFFFFFFu)) << "never taken for a process group";
  EXPECT_FALSE(still_running(static_cast<uint32_t>(INT_MAX) + 1));
  ASSERT_GT(pid_max(), 0);
  EXPECT_FALSE(still_running(static_cast<uint32_t>(pid_max()))) << "ids stay below pid_max";
  EXPECT_TRUE(still_running(process_id()));
}

TEST(StillRunning, OurChildUntilItEndsThenNeverAgain) {
  const Folder f;
  const std::string go = f / "go";
  const uint32_t id = start({"sh", "-c", "while [ ! -e \"$0\" ]; do sleep 0.01; done", go}, nullptr);
  EXPECT_TRUE(still_running(id));
  std::ofstream{go};
  EXPECT_TRUE(eventually([&] { return !still_running(id); }));
  EXPECT_EQ(proc_state(id), 0) << "reaped by the test";
  EXPECT_FALSE(still_running(id));
  EXPECT_EQ(wait_child(id, 0), ChildState::kEnded) << "the end is remembered";
}

TEST(StillRunning, AZombieOfAnotherParentHasEnded) {
  // The background child ends once the shell has become sleep, which never reaps it.
  const Folder f;
  const std::string go = f / "go";
  ChildStreams s;
  const uint32_t id =
      start({"sh", "-c", "(while [ ! -e \"$0\" ]; do sleep 0.01; done) & echo $!; exec sleep 5", go}, &s);
  std::string line;
  ASSERT_TRUE(eventually([&] {
    char buffer[32];
    size_t got = 0;
    bool ended = false;
    read_waiting(s.output, buffer, sizeof buffer, &got, &ended);
    line.append(buffer, got);
    return line.find('\n') != std::string::npos;
  }));
  ASSERT_TRUE(eventually([&] { return comm(id) == "sleep\n"; }));
  std::ofstream{go};
  const uint32_t zombie = static_cast<uint32_t>(std::stoul(line));
  ASSERT_TRUE(eventually([&] { return proc_state(zombie) == 'Z'; }));
  EXPECT_EQ(kill(static_cast<pid_t>(zombie), 0), 0) << "the system still has it";
  EXPECT_FALSE(still_running(zombie));
  EXPECT_EQ(kill_process(zombie).error, ESRCH) << "not ours to signal";
  ASSERT_TRUE(ok(kill_process(id)));
  EXPECT_EQ(wait_child(id, 5000), ChildState::kEnded);
  close_streams(&s);
}

TEST(Children, ReleasedOnesAreReapedByTheNextCall) {
  const uint32_t id = start({"sleep", "0.05"}, nullptr);
  release_child(id);  // before it ends: one that has ended is reaped right here
  ASSERT_TRUE(eventually([&] { return proc_state(id) == 'Z'; })) << "ended, not yet reaped";
  EXPECT_FALSE(still_running(0));
  EXPECT_EQ(proc_state(id), 0) << "reaped while answering about another id";
  EXPECT_FALSE(still_running(id));
}

TEST(Children, SignalsReachOnlyChildrenStillRunning) {
  EXPECT_EQ(kill_process(process_id()).error, ESRCH);
  EXPECT_EQ(interrupt_group(process_id()).error, ESRCH);
  EXPECT_EQ(interrupt_group(0).error, ESRCH);
  EXPECT_EQ(kill_process(0xFFFFFFFFu).error, ESRCH);
  const uint32_t id = start({"sleep", "10"}, nullptr, true);
  EXPECT_TRUE(ok(interrupt_group(id)));
  EXPECT_EQ(wait_child(id, 5000), ChildState::kEnded) << "SIGINT ends sleep";
  EXPECT_EQ(interrupt_group(id).error, ESRCH) << "its id may belong to anyone now";
  EXPECT_EQ(kill_process(id).error, ESRCH);
}

TEST(Children, TimedWaitEndsWhenTheChildDoes) {
  const uint32_t id = start({"sleep", "0.05"}, nullptr);
  EXPECT_EQ(wait_child(id, 0), ChildState::kRunning);
  const uint64_t t0 = monotonic_ms();
  EXPECT_EQ(wait_child(id, 10000), ChildState::kEnded);
  EXPECT_LT(monotonic_ms() - t0, 5000u);
  EXPECT_EQ(wait_child(process_id(), 0), ChildState::kUnknown);
}

}  // namespace
}  // namespace lumra::sys
