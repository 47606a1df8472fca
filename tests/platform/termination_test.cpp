// Termination signals with real signals sent to real child processes: a child that polls cleans
// up and dies of the signal; a child stuck in a call loses its unpack folder to the fallback after
// the grace period, or at once on a second signal; a signal ignored at start stays ignored.
#include "platform/system/termination.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "desktop_test_support.h"
#include "platform/system/clock.h"
#include "platform/system/temp.h"

namespace lumra::sys {
namespace {

using test_support::exists;
using test_support::TempFolder;
using test_support::write_text;

// How the child behaves once its unpack folder is made.
enum class Child { kPolls, kStuck };

struct ChildRun {
  pid_t pid = -1;
  int status = 0;
  uint64_t ended_after_ms = 0;  // from the first signal sent
};

// Forks a child that catches the signals (with `ignore_first` ignored beforehand), makes an
// unpack folder with something in it inside `base` and tells the parent; then sends it `signals`
// and waits for it.
ChildRun run_child(const std::string& base, const std::string& name, Child behaviour, unsigned grace,
              std::initializer_list<int> signals, int ignore_first = 0) {
  ChildRun run;
  int ready[2];
  if (pipe(ready) != 0) return run;
  run.pid = fork();
  if (run.pid == 0) {
    close(ready[0]);
    if (ignore_first) signal(ignore_first, SIG_IGN);
    if (!catch_termination_signals(grace)) _exit(90);
    UnpackFolder folder;
    if (!ok(make_unpack_folder((base + "/" + name).c_str(), &folder))) _exit(91);
    if (!write_text(folder.path + "/index.html", "page")) _exit(92);
    if (write(ready[1], "r", 1) != 1) _exit(93);
    if (behaviour == Child::kStuck) {
      for (;;) pause();  // a call that never returns, whatever arrives
    }
    while (termination_signal() == 0) sleep_ms(1);
    const int sig = termination_signal();
    // The program's own clean-up path, then the end the signal asks for.
    if (!remove_unpack_folder(&folder)) _exit(94);
    end_by_termination_signal(sig);
  }
  close(ready[1]);
  char c = 0;
  const bool started = read(ready[0], &c, 1) == 1;
  close(ready[0]);
  if (!started) {
    waitpid(run.pid, &run.status, 0);
    return run;
  }
  const uint64_t t0 = monotonic_ms();
  for (const int s : signals) kill(run.pid, s);
  while (waitpid(run.pid, &run.status, 0) < 0 && errno == EINTR) {
  }
  run.ended_after_ms = monotonic_ms() - t0;
  return run;
}

class Termination : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(make_private_base_folder(dir_ / "LumraVRviewer", &base_, &why)) << why;
  }
  TempFolder dir_;
  std::string base_;
};

TEST_F(Termination, APollingProgramCleansUpAndDiesOfTheSignal) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const std::string name = "LVR" + std::to_string(sig) + ".tmp";
    const ChildRun run = run_child(base_, name, Child::kPolls, 30, {sig});
    ASSERT_TRUE(WIFSIGNALED(run.status)) << "exit status " << WEXITSTATUS(run.status);
    EXPECT_EQ(WTERMSIG(run.status), sig);
    EXPECT_FALSE(exists(base_ + "/" + name));
    EXPECT_LT(run.ended_after_ms, 20000u) << "well before the grace period";
  }
  EXPECT_TRUE(exists(base_)) << "the base folder is kept";
}

TEST_F(Termination, AStuckProgramLosesItsFolderAfterTheGracePeriod) {
  const ChildRun run = run_child(base_, "LVRA.tmp", Child::kStuck, 1, {SIGTERM});
  ASSERT_TRUE(WIFSIGNALED(run.status));
  EXPECT_EQ(WTERMSIG(run.status), SIGTERM);
  EXPECT_FALSE(exists(base_ + "/LVRA.tmp"));
  EXPECT_GE(run.ended_after_ms, 900u) << "the program had its grace period";
}

TEST_F(Termination, ASecondSignalRunsTheFallbackAtOnce) {
  // Two different signals: two of the same kind pending at once are delivered as one.
  const ChildRun run = run_child(base_, "LVRB.tmp", Child::kStuck, 60, {SIGINT, SIGTERM});
  ASSERT_TRUE(WIFSIGNALED(run.status));
  EXPECT_EQ(WTERMSIG(run.status), SIGINT) << "ended by the first signal";
  EXPECT_FALSE(exists(base_ + "/LVRB.tmp"));
  EXPECT_LT(run.ended_after_ms, 30000u) << "not the 60 s grace period";
}

TEST_F(Termination, ASignalIgnoredAtStartStaysIgnored) {
  // SIGHUP ignored (as under nohup) changes nothing; the SIGTERM after it is the one recorded.
  const ChildRun run = run_child(base_, "LVRC.tmp", Child::kPolls, 30, {SIGHUP, SIGTERM}, SIGHUP);
  ASSERT_TRUE(WIFSIGNALED(run.status));
  EXPECT_EQ(WTERMSIG(run.status), SIGTERM);
  EXPECT_FALSE(exists(base_ + "/LVRC.tmp"));
}

TEST(TerminationService, ReleasePutsBackTheHandlersFound) {
  static volatile sig_atomic_t seen = 0;
  struct sigaction mine {};
  mine.sa_handler = [](int) { seen = 1; };
  sigemptyset(&mine.sa_mask);
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGTERM, &mine, &before), 0);
  ASSERT_TRUE(catch_termination_signals(30));
  EXPECT_EQ(termination_signal(), 0);
  raise(SIGTERM);
  EXPECT_EQ(termination_signal(), SIGTERM);
  EXPECT_EQ(seen, 0) << "the service's handler, not the one found";
  release_termination_signals();
  EXPECT_EQ(termination_signal(), 0);
  raise(SIGTERM);
  EXPECT_EQ(seen, 1);
  sigaction(SIGTERM, &before, nullptr);
}

TEST(TerminationService, EndingWithoutASignalIsAFailureExit) {
  const pid_t pid = fork();
  if (pid == 0) end_by_termination_signal(0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace lumra::sys
