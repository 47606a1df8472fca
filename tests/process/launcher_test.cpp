// The launcher with real children (small shell scripts) on the headless backend: finding and
// starting programs, the process id and still-running test, the watch loop's lines of every kind,
// keys forwarded with their echo, Escape, the break with its answers and the abandon on the
// virtual clock, terminate-on-abort, result codes, and no descriptor left open.
#include "framework/process/launcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/input/key_poll.h"
#include "platform/keys.h"
#include "platform/system/process.h"
#include "tests/process/process_session.h"

namespace lumra::process {
namespace {

namespace hl = platform::headless;
using testing::open_descriptors;
using testing::proc_state;
using testing::Recorder;
using testing::SeenLine;
using Lines = std::vector<SeenLine>;
using Launcher = testing::ProcessSession;

constexpr uint32_t kUntouched = 0xDEADBEEF;

// Prints each argument in brackets, one a line (printf: echo would read backslashes).
constexpr const char* kShowArguments = "for a in \"$0\" \"$@\"; do printf '[%s]\\n' \"$a\"; done";

TEST_F(Launcher, StartsAProgramUnderAFolderWithBlanksWithItsArgumentsSplit) {
  const std::string program = script("folder with blanks/show arguments", kShowArguments);
  Recorder r;
  uint32_t id = 0;
  ASSERT_EQ(launch(program.c_str(), R"("C:\Program Files\x" plain a\"b "" \\server\share\)", 5, 0,
                   Recorder::function, &r, 1, &id),
            1);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(r.lines, (Lines{{1, "[" + program + "]", 0},
                            {1, R"([C:\Program Files\x])", 0},
                            {1, "[plain]", 0},
                            {1, R"([a"b])", 0},
                            {1, "[]", 0},
                            {1, R"([\\server\share\])", 0}}));
  EXPECT_EQ(still_running(id), 0);
}

TEST_F(Launcher, WithoutWaitingReturnsAtOnceWithTheIdAndStillRunningFollowsTheProgram) {
  const std::string program =
      script("folder with blanks/wait for go", "echo $$ > started\nwhile [ ! -e go ]; do sleep 0.01; done");
  uint32_t id = 0;
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, nullptr, nullptr, 0, &id), 1);
  ASSERT_TRUE(eventually([&] { return !read("started").empty(); }));
  EXPECT_EQ(read("started"), std::to_string(id) + "\n");
  EXPECT_EQ(still_running(id), 1);
  EXPECT_EQ(still_running(id), 1);
  touch("go");
  EXPECT_TRUE(eventually([&] { return still_running(id) == 0; }));
  EXPECT_EQ(proc_state(id).state, 0) << "reaped, not a zombie";
  EXPECT_EQ(still_running(id), 0) << "and it stays ended";
}

TEST_F(Launcher, FindsABareNameInTheCurrentFolderOrAlongThePath) {
  script("bin/lumra-probe", kShowArguments);
  script("local-probe", kShowArguments);
  const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (path("bin") + ":" + saved).c_str(), 1);
  Recorder on_path;
  const int32_t found = launch("lumra-probe", "one", 5, 0, Recorder::function, &on_path, 1, nullptr);
  setenv("PATH", saved.c_str(), 1);
  ASSERT_EQ(found, 1);
  EXPECT_EQ(on_path.lines, (Lines{{1, "[" + path("bin/lumra-probe") + "]", 0}, {1, "[one]", 0}}));

  Recorder here;
  ASSERT_EQ(launch("local-probe", nullptr, 5, 0, Recorder::function, &here, 1, nullptr), 1)
      << "a name that opens as it is is not searched for";
  EXPECT_EQ(here.lines, (Lines{{1, "[local-probe]", 0}}));
}

TEST_F(Launcher, AProgramThatCannotStartGivesZeroAndLeavesNothingOpen) {
  const std::string text = path("plain.txt");
  std::ofstream(text) << "not a program\n";
  std::filesystem::create_directories(path("a folder"));
  const std::vector<std::string> before = open_descriptors();
  for (const std::string& program : {std::string("/no/such/program"), std::string("lumra-no-such-program"),
                                     text, path("a folder"), std::string()}) {
    for (const int32_t wait : {0, 1}) {
      for (const bool with_function : {false, true}) {
        SCOPED_TRACE(program + (wait ? " waiting" : "") + (with_function ? " with function" : ""));
        Recorder r;
        uint32_t id = kUntouched;
        EXPECT_EQ(
            launch(program.c_str(), "a b", 5, 1, with_function ? Recorder::function : nullptr, &r, wait, &id),
            0);
        EXPECT_EQ(id, kUntouched);
        EXPECT_EQ(r.idle_calls, 0);
      }
    }
  }
  EXPECT_EQ(launch(nullptr, nullptr, 5, 0, nullptr, nullptr, 1, nullptr), 0);
  EXPECT_EQ(open_descriptors(), before);
}

TEST_F(Launcher, ResultIsOneForAnyExitCodeAndOtherKeysDoNotStopTheWait) {
  const std::string program = script("fails", "sleep 0.05\nexit 3");
  press_now('X', 'x');
  press_now(platform::kVkF1, 0);
  Recorder r;
  EXPECT_EQ(launch(program.c_str(), nullptr, 5, 1, nullptr, nullptr, 1, nullptr), 1);
  EXPECT_EQ(launch(program.c_str(), nullptr, 5, 1, Recorder::function, &r, 1, nullptr), 1);
  EXPECT_EQ(input::peek_key(), 0) << "keys typed during a wait belong to the program";
}

TEST_F(Launcher, OverwrittenLineThenItsIncompleteSuccessorOnce) {
  const std::string program =
      script("progress", "printf '50%%\\r60%%\\r'\nwhile [ ! -e done ]; do sleep 0.01; done");
  Recorder r;
  r.step_ms = 50;
  int32_t partial_at_call = -1;
  r.on_line = [&](Recorder& rec, const SeenLine& l) {
    if (l.kind == kPartialLine) partial_at_call = rec.idle_calls;
    return 0;
  };
  r.on_idle = [&](Recorder& rec) {
    hl::advance(rec.step_ms);
    // Ten more passes before the program may end: the same line must not come again.
    if (partial_at_call >= 0 && rec.idle_calls == partial_at_call + 10) touch("done");
    return 0;
  };
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, Recorder::function, &r, 1, nullptr), 1);
  ASSERT_EQ(r.lines, (Lines{{kOverwrittenLine, "50%", 0}, {kPartialLine, "60%", 0}}));
  EXPECT_GT(r.lines[1].at - r.lines[0].at, 250u) << "more than a quarter second after the overwritten line";
  EXPECT_GE(r.idle_calls, partial_at_call + 10);
}

TEST_F(Launcher, StandardErrorLinesAreKindThreeAndLastLinesAreNotLost) {
  const std::string program = script("both streams",
                                     "echo out1\necho err1 >&2\nprintf 'err\\rtwo\\n' >&2\necho out2\n"
                                     "printf 'tail' >&2\nprintf 'end'");
  Recorder r;
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, Recorder::function, &r, 1, nullptr), 1);
  EXPECT_EQ(r.of_kind(kOutputLine), (Lines{{1, "out1", 0}, {1, "out2", 0}}));
  EXPECT_EQ(r.of_kind(kErrorLine), (Lines{{3, "err1", 0}, {3, "two", 0}, {3, "tail", 0}}));
  EXPECT_EQ(r.of_kind(kPartialLine), (Lines{{4, "end", 0}})) << "handed out once the program has ended";
  EXPECT_TRUE(r.of_kind(kOverwrittenLine).empty());
}

TEST_F(Launcher, ALongLineArrivesInPieces) {
  const std::string program = script(
      "long line", "s=\ni=0\nwhile [ $i -lt 60 ]; do s=\"${s}0123456789\"; i=$((i+1)); done\necho \"$s\"");
  Recorder r;
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, Recorder::function, &r, 1, nullptr), 1);
  std::string line;
  for (int i = 0; i < 60; ++i) line += "0123456789";
  EXPECT_EQ(r.lines, (Lines{{1, line.substr(0, 511), 0}, {1, line.substr(511), 0}}));
}

TEST_F(Launcher, KeysGoToTheProgramWithAnEchoAndAWindowCloseIsHandedBack) {
  const std::string program =
      script("reader", "IFS= read -r a\nprintf 'got:%s\\n' \"$a\" | tr '\\t\\r' 'T#'");
  hl::post(hl::close_request());  // taken by the wait before the keys
  type("a");
  press(platform::kVkF1);
  type("\tb\r");
  Recorder r;
  r.step_ms = 50;
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, Recorder::function, &r, 1, nullptr), 1);
  EXPECT_EQ(r.of_kind(kOutputLine), (Lines{{1, "ab", 0}, {1, "got:aTb#", 0}}))
      << "the echo first (its tab left out); the program read a, tab, b, carriage return and line feed; F1 "
         "was "
         "not sent";
  EXPECT_EQ(input::peek_key(), 32752);
}

// A program that prints "ready" once it is set up for the break.
constexpr const char* kBreakPrompt =
    "broke=\n"
    "trap 'broke=1; printf \"Terminate (Y/N)?\"' INT\n"
    "echo ready\n"
    "while [ -z \"$broke\" ]; do sleep 0.01; done\n"
    "for i in 1 2 3 4; do IFS= read -r a; printf '\\ngot:%s\\n' \"$a\"; done";

TEST_F(Launcher, TheBreakIsAnsweredAtTwoFourSixAndEightSeconds) {
  const std::string program = script("prompt", kBreakPrompt);
  // The clock holds before each answer's step until what the program does before it has come.
  struct Hold {
    uint32_t before;
    int32_t kind;
    const char* text;
  };
  const Hold holds[] = {{2000, kPartialLine, "Terminate (Y/N)?"},
                        {4000, kOutputLine, "got:Y"},
                        {6000, kOutputLine, "got:s"},
                        {8000, kOutputLine, "got:y"}};
  constexpr uint32_t kStep = 250;
  bool broke = false;
  uint32_t break_at = 0;
  Recorder r;
  r.on_idle = [&](Recorder& rec) -> int32_t {
    if (!broke) {
      if (!rec.find(kOutputLine, "ready")) return 0;
      broke = true;
      break_at = hl::now();
      return kStopAnswer;
    }
    const uint32_t next = hl::now() + kStep - break_at;
    for (const Hold& h : holds) {
      if (next >= h.before && !rec.find(h.kind, h.text)) return 0;
    }
    hl::advance(kStep);
    return 0;
  };
  uint32_t id = 0;
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, Recorder::function, &r, 1, &id), 1);
  struct Answer {
    const char* line;
    uint32_t from;
  };
  for (const Answer& a :
       {Answer{"got:Y", 2000}, Answer{"got:s", 4000}, Answer{"got:y", 6000}, Answer{"got:o", 8000}}) {
    SCOPED_TRACE(a.line);
    const SeenLine* l = r.find(kOutputLine, a.line);
    ASSERT_NE(l, nullptr);
    EXPECT_GE(l->at - break_at, a.from);
    EXPECT_LT(l->at - break_at, a.from + 2000);
  }
  EXPECT_EQ(still_running(id), 0);
}

TEST_F(Launcher, AProgramThatIgnoresTheBreakIsAbandonedAfterTenSecondsAndKeepsRunning) {
  const std::string program =
      script("stubborn", "trap '' INT\necho ready\nwhile [ ! -e stop ]; do sleep 0.01; done");
  bool broke = false;
  uint32_t break_at = 0;
  Recorder r;
  r.on_idle = [&](Recorder& rec) -> int32_t {
    if (broke) {
      hl::advance(250);
      return 0;
    }
    if (!rec.find(kOutputLine, "ready")) return 0;
    broke = true;
    break_at = hl::now();
    return kStopAnswer;
  };
  uint32_t id = 0;
  const uint64_t t0 = sys::monotonic_ms();
  EXPECT_EQ(launch(program.c_str(), nullptr, 5, 1, Recorder::function, &r, 1, &id), 0);
  EXPECT_GT(hl::now() - break_at, 10000u);
  EXPECT_LE(hl::now() - break_at, 10250u);
  EXPECT_LT(sys::monotonic_ms() - t0, 5000u) << "ten virtual seconds";
  EXPECT_EQ(still_running(id), 1) << "abandoned, not killed, even with terminate-on-abort";
  touch("stop");
  EXPECT_TRUE(eventually([&] { return still_running(id) == 0; }));
}

TEST_F(Launcher, TheBreakEndsAProgramThatDoesNotCatchIt) {
  const std::string program = script("plain", "echo ready\nwhile :; do sleep 0.01; done");
  bool broke = false;
  Recorder r;
  r.on_idle = [&](Recorder& rec) -> int32_t {
    hl::advance(10);
    if (broke || !rec.find(kOutputLine, "ready")) return 0;
    broke = true;
    return kStopAnswer;
  };
  uint32_t id = 0;
  EXPECT_EQ(launch(program.c_str(), nullptr, 5, 0, Recorder::function, &r, 1, &id), 1);
  EXPECT_EQ(still_running(id), 0);
}

TEST_F(Launcher, EscapeWithoutOutputFunctionAbortsAndTerminateOnAbortKillsTheProgram) {
  const std::string program = script("waits", "while [ ! -e stop ]; do sleep 0.01; done");
  for (const int32_t terminate : {1, 0}) {
    SCOPED_TRACE(terminate ? "terminate on abort" : "left running");
    press_now(platform::kVkEscape, 27);
    uint32_t id = 0;
    EXPECT_EQ(launch(program.c_str(), nullptr, 5, terminate, nullptr, nullptr, 1, &id), 0);
    EXPECT_EQ(input::peek_key(), 0) << "Escape was taken";
    if (terminate) {
      EXPECT_TRUE(eventually([&] { return still_running(id) == 0; }));
    } else {
      EXPECT_EQ(still_running(id), 1);
      touch("stop");
      EXPECT_TRUE(eventually([&] { return still_running(id) == 0; }));
    }
  }
}

TEST_F(Launcher, StopFromALineAbortsAtOnce) {
  const std::string program = script("chatty", "echo ready\necho more\nwhile :; do sleep 0.01; done");
  Recorder r;
  int32_t idle_calls_at_stop = -1;
  r.on_line = [&](Recorder& rec, const SeenLine& l) {
    idle_calls_at_stop = rec.idle_calls;
    return l.text == "ready" ? kStopAnswer : 0;
  };
  uint32_t id = 0;
  EXPECT_EQ(launch(program.c_str(), nullptr, 5, 1, Recorder::function, &r, 1, &id), 0);
  EXPECT_EQ(r.idle_calls, idle_calls_at_stop);
  EXPECT_EQ(r.lines, (Lines{{1, "ready", 0}})) << "nothing after the line that stopped it";
  EXPECT_TRUE(eventually([&] { return still_running(id) == 0; })) << "killed";
}

TEST_F(Launcher, WithAnOutputFunctionTheProgramLeadsAProcessGroupWaitingOrNot) {
  const std::string program = script("idle", "while [ ! -e stop ]; do sleep 0.01; done");
  Recorder r;
  uint32_t grouped = 0;
  uint32_t plain = 0;
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, Recorder::function, &r, 0, &grouped), 1);
  ASSERT_EQ(launch(program.c_str(), nullptr, 5, 0, nullptr, nullptr, 0, &plain), 1);
  EXPECT_EQ(proc_state(grouped).group, static_cast<long>(grouped));
  EXPECT_EQ(proc_state(plain).group, static_cast<long>(getpgrp()));
  EXPECT_EQ(r.idle_calls, 0) << "without waiting the function is never called";
  touch("stop");
  EXPECT_TRUE(eventually([&] { return still_running(grouped) == 0 && still_running(plain) == 0; }));
}

TEST_F(Launcher, AChildStartedWithoutWaitingDoesNotLingerAsAZombie) {
  uint32_t id = 0;
  // It outlives the launch: one that has ended by then is reaped as the launcher lets it go.
  ASSERT_EQ(launch(script("brief", "sleep 0.05").c_str(), nullptr, 5, 0, nullptr, nullptr, 0, &id), 1);
  ASSERT_TRUE(eventually([&] { return proc_state(id).state == 'Z'; })) << "ended, nobody has asked yet";
  EXPECT_EQ(still_running(sys::process_id()), 1);
  EXPECT_EQ(proc_state(id).state, 0) << "reaped while the still-running test answered about another id";
  EXPECT_EQ(still_running(id), 0);
}

TEST_F(Launcher, StillRunningOfIdsThatAreNoProcess) {
  EXPECT_EQ(still_running(0), 0);
  EXPECT_EQ(still_running(0xFFFFFFFFu), 0);
  std::ifstream in("/proc/sys/kernel/pid_max");
  uint32_t pid_max = 0;
  in >> pid_max;
  ASSERT_GT(pid_max, 0u);
  EXPECT_EQ(still_running(pid_max), 0);
  EXPECT_EQ(still_running(sys::process_id()), 1);
}

TEST_F(Launcher, AHundredLaunchesLeaveNoDescriptorOpen) {
  const std::string hello = script("hello", "echo hi\necho oops >&2");
  const std::string quick = script("quick", "exit 0");
  const std::string chatty = script("chatty", "echo ready\nwhile :; do sleep 0.01; done");
  const std::vector<std::string> before = open_descriptors();
  std::vector<uint32_t> started;
  for (int i = 0; i < 100; ++i) {
    SCOPED_TRACE(i);
    Recorder r;
    r.on_line = [](Recorder&, const SeenLine& l) { return l.text == "ready" ? kStopAnswer : 0; };
    uint32_t id = 0;
    switch (i % 5) {
      case 0:
        EXPECT_EQ(launch(hello.c_str(), "a \"b c\"", 5, 0, Recorder::function, &r, 1, &id), 1);
        EXPECT_EQ(r.lines.size(), 2u);
        break;
      case 1:
        EXPECT_EQ(launch(quick.c_str(), nullptr, 5, 0, nullptr, nullptr, 0, &id), 1);
        started.push_back(id);
        break;
      case 2:
        EXPECT_EQ(launch(quick.c_str(), nullptr, 5, 0, nullptr, nullptr, 1, &id), 1);
        break;
      case 3:
        EXPECT_EQ(launch(chatty.c_str(), nullptr, 5, 1, Recorder::function, &r, 1, &id), 0);
        break;
      case 4:
        EXPECT_EQ(launch("/no/such/program", nullptr, 5, 0, Recorder::function, &r, 1, &id), 0);
        break;
    }
  }
  EXPECT_EQ(open_descriptors(), before);
  for (const uint32_t id : started) EXPECT_TRUE(eventually([&] { return still_running(id) == 0; }));
}

}  // namespace
}  // namespace lumra::process
