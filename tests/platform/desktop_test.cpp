// Opening links and the file dialog with stand-in programs on PATH (shell scripts written by the
// tests): an xdg-open that records its URL, session, standard input and open descriptors; a
// zenity or kdialog that records its arguments and answers, cancels, fails or waits.
#include "platform/system/desktop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "desktop_test_support.h"

namespace lumra::sys {
namespace {

using test_support::Environment;
using test_support::eventually;
using test_support::read_text;
using test_support::TempFolder;
using test_support::wait_for_record;
using test_support::write_script;

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir((dir_ / "bin").c_str(), 0755), 0);
    env_.set("PATH", dir_ / "bin");
    env_.set("RECORD", dir_ / "record");
  }
  void program(const std::string& name, const std::string& body) {
    ASSERT_TRUE(write_script(dir_ / ("bin/" + name), body));
  }

  TempFolder dir_;
  Environment env_;
};

// Writes its arguments one per line.
const char kRecordArguments[] = "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$RECORD\"; done\n";

TEST_F(Desktop, OpenLinkStartsXdgOpenDetachedAndReapsIt) {
  program("xdg-open",
          "{ printf 'url=%s\\n' \"$1\"; printf 'args=%s\\n' \"$#\";\n"
          "  printf 'session=%s pid=%s\\n' \"$(cut -d' ' -f6 /proc/$$/stat)\" \"$$\";\n"
          "  printf 'stdin=%s\\n' \"$(readlink /proc/$$/fd/0)\";\n"
          "  ls -l /proc/$$/fd; echo end; } > \"$RECORD.tmp\"\n"
          "mv \"$RECORD.tmp\" \"$RECORD\"\n");
  // A descriptor of this program that is not close-on-exec must not reach the helper.
  const int leak = open((dir_ / "leak-marker").c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(leak, 3);
  uint32_t pid = 0;
  const Status s = open_link("http://example.com/a b?c=\"d\"&e=$f", &pid);
  close(leak);
  ASSERT_TRUE(ok(s)) << describe(s);
  ASSERT_GT(pid, 0u);
  const std::string record = wait_for_record(dir_ / "record");
  EXPECT_NE(record.find("url=http://example.com/a b?c=\"d\"&e=$f\nargs=1\n"), std::string::npos) << record;
  EXPECT_NE(record.find("session=" + std::to_string(pid) + " pid=" + std::to_string(pid)), std::string::npos)
      << "a session of its own: " << record;
  EXPECT_NE(record.find("stdin=/dev/null"), std::string::npos) << record;
  EXPECT_EQ(record.find("leak-marker"), std::string::npos) << record;
  EXPECT_TRUE(eventually([] { return reap_opened_links() == 0; })) << "reaped once it ended";
  EXPECT_NE(kill(static_cast<pid_t>(pid), 0), 0) << "no zombie left";
}

TEST_F(Desktop, OpenLinkNeverWaitsForTheHandler) {
  program("xdg-open", "mkfifo \"$RECORD.fifo\"; echo end > \"$RECORD\"; read x < \"$RECORD.fifo\"\n");
  uint32_t pid = 0;
  ASSERT_TRUE(ok(open_link("http://example.com/", &pid)));
  ASSERT_FALSE(wait_for_record(dir_ / "record").empty());
  EXPECT_EQ(reap_opened_links(), 1) << "still running: left alone";
  kill(static_cast<pid_t>(pid), SIGKILL);
  EXPECT_TRUE(eventually([] { return reap_opened_links() == 0; }));
}

TEST_F(Desktop, OpenLinkFailures) {
  EXPECT_TRUE(is_missing(open_link("http://example.com/"))) << "no xdg-open";
  program("xdg-open", "echo end > \"$RECORD\"\n");
  EXPECT_EQ(open_link("-n").error, EINVAL) << "it would be an option";
  EXPECT_EQ(open_link("").error, EINVAL);
  EXPECT_EQ(open_link(nullptr).error, EINVAL);
}

const FileDialogSpec kSpec{"Select LVR file", "Lumra VR file", "*.lvr", 0};

struct DialogCase {
  const char* name;
  const char* program;
  std::string body;
  DialogState expected;
  const char* path_or_reason;  // the chosen path, or a part of the reason
};

void PrintTo(const DialogCase& c, std::ostream* os) { *os << c.name; }

class FileDialogs : public Desktop, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(FileDialogs, AnswerAsTheProgramDoes) {
  const DialogCase& c = GetParam();
  program(c.program, std::string(kRecordArguments) + c.body);
  FileDialog d;
  std::string reason;
  ASSERT_EQ(start_file_dialog(kSpec, &d, &reason), DialogState::kRunning) << reason;
  EXPECT_EQ(d.program, c.program);
  std::string path;
  DialogState state = DialogState::kRunning;
  ASSERT_TRUE(eventually([&] { return (state = poll_file_dialog(&d, 20, &path, &reason)) != DialogState::kRunning; }));
  EXPECT_EQ(state, c.expected);
  if (c.expected == DialogState::kChosen) {
    EXPECT_EQ(path, c.path_or_reason);
  }
  if (c.expected == DialogState::kFailed) {
    EXPECT_NE(reason.find(c.path_or_reason), std::string::npos) << reason;
  }
  EXPECT_EQ(d.process, 0);
  EXPECT_EQ(d.output, kNoDescriptor);
}

const std::string kBig(70000, 'x');

const DialogCase kDialogCases[] = {
    {"chosen", "zenity", "printf '/home/u/My Files/demo.lvr\\n'\n", DialogState::kChosen, "/home/u/My Files/demo.lvr"},
    {"chosen_without_line_break", "zenity", "printf '/a.lvr'\n", DialogState::kChosen, "/a.lvr"},
    {"chosen_then_warning", "zenity", "echo 'Gtk-Message: mapped without a transient parent' >&2; echo /b.lvr\n",
     DialogState::kChosen, "/b.lvr"},
    {"cancelled", "zenity", "exit 1\n", DialogState::kCancelled, ""},
    {"failed_with_message", "zenity", "echo 'cannot open display' >&2; exit 255\n", DialogState::kFailed,
     "zenity ended with status 255: cannot open display"},
    {"timed_out", "zenity", "exit 5\n", DialogState::kFailed, "status 5"},
    {"killed", "zenity", "kill -9 $$\n", DialogState::kFailed, "signal 9"},
    {"no_answer", "zenity", "exit 0\n", DialogState::kFailed, "gave no file"},
    {"answer_too_long", "zenity", "printf '%070000d' 0\n", DialogState::kFailed, "more than a path"},
    {"kdialog_chosen", "kdialog", "echo /k.lvr\n", DialogState::kChosen, "/k.lvr"},
    {"kdialog_cancelled", "kdialog", "exit 1\n", DialogState::kCancelled, ""},
};

INSTANTIATE_TEST_SUITE_P(Answers, FileDialogs, ::testing::ValuesIn(kDialogCases),
                         [](const ::testing::TestParamInfo<DialogCase>& p) { return std::string(p.param.name); });

std::string recorded_arguments(const TempFolder& dir) { return read_text(dir / "record"); }

TEST_F(Desktop, ZenityIsAskedForOneFileOfTheType) {
  program("zenity", std::string(kRecordArguments) + "exit 1\n");
  program("kdialog", "exit 3\n");
  std::string path, reason;
  EXPECT_EQ(run_file_dialog(kSpec, nullptr, nullptr, &path, &reason), DialogState::kCancelled);
  EXPECT_EQ(recorded_arguments(dir_),
            "--file-selection\n--title=Select LVR file\n--file-filter=Lumra VR file | *.lvr\n");
}

TEST_F(Desktop, KdialogWhenThereIsNoZenity) {
  program("kdialog", std::string(kRecordArguments) + "exit 1\n");
  std::string path, reason;
  EXPECT_EQ(run_file_dialog(kSpec, nullptr, nullptr, &path, &reason), DialogState::kCancelled);
  EXPECT_EQ(recorded_arguments(dir_), "--title\nSelect LVR file\n--getopenfilename\n.\n*.lvr|Lumra VR file\n");
}

TEST_F(Desktop, TheParentWindowIsPassedOn) {
  FileDialogSpec spec = kSpec;
  spec.parent_window = 0x3a00007;
  program("zenity", std::string(kRecordArguments) + "exit 1\n");
  std::string path, reason;
  run_file_dialog(spec, nullptr, nullptr, &path, &reason);
  EXPECT_NE(recorded_arguments(dir_).find("--attach=60817415\n"), std::string::npos) << recorded_arguments(dir_);
  ASSERT_EQ(unlink((dir_ / "bin/zenity").c_str()), 0);
  ASSERT_EQ(unlink((dir_ / "record").c_str()), 0);
  program("kdialog", std::string(kRecordArguments) + "exit 1\n");
  run_file_dialog(spec, nullptr, nullptr, &path, &reason);
  EXPECT_NE(recorded_arguments(dir_).find("--attach\n60817415\n"), std::string::npos) << recorded_arguments(dir_);
}

TEST_F(Desktop, NoDialogProgramIsUnavailableWithAHint) {
  std::string path = "unchanged", reason;
  FileDialog d;
  EXPECT_EQ(start_file_dialog(kSpec, &d, &reason), DialogState::kUnavailable);
  EXPECT_NE(reason.find("zenity"), std::string::npos);
  EXPECT_EQ(reason.find('\n'), std::string::npos) << "one line";
  EXPECT_EQ(run_file_dialog(kSpec, nullptr, nullptr, &path, &reason), DialogState::kUnavailable);
  EXPECT_EQ(path, "unchanged");
}

// While the dialog is up, the caller's window is serviced: the pump runs between polls. Here the
// pump itself lets the dialog answer, after it has run a few times.
struct Pump {
  std::string fifo;
  int calls = 0;
  bool give_up = false;
};

TEST_F(Desktop, TheCallerIsPumpedWhileTheDialogRuns) {
  Pump pump{dir_ / "answer"};
  ASSERT_EQ(mkfifo(pump.fifo.c_str(), 0600), 0);
  env_.set("ANSWER", pump.fifo);
  program("zenity", "read path < \"$ANSWER\"; echo \"$path\"\n");
  std::string path, reason;
  const DialogState state = run_file_dialog(
      kSpec,
      [](void* data) {
        auto* p = static_cast<Pump*>(data);
        if (++p->calls == 5) {
          const int fd = open(p->fifo.c_str(), O_WRONLY);
          if (fd < 0 || write(fd, "/pumped.lvr\n", 12) != 12) return false;
          close(fd);
        }
        return true;
      },
      &pump, &path, &reason);
  EXPECT_EQ(state, DialogState::kChosen) << reason;
  EXPECT_EQ(path, "/pumped.lvr");
  EXPECT_GE(pump.calls, 5);
}

TEST_F(Desktop, GivingUpEndsTheDialog) {
  program("zenity", "echo $$ > \"$RECORD\"; exec sleep 600\n");
  Pump pump;
  std::string path, reason;
  const DialogState state = run_file_dialog(
      kSpec,
      [](void* data) {
        auto* p = static_cast<Pump*>(data);
        return !(++p->calls > 3 && !read_text(std::getenv("RECORD")).empty());
      },
      &pump, &path, &reason);
  EXPECT_EQ(state, DialogState::kCancelled);
  const pid_t pid = static_cast<pid_t>(std::stol(read_text(dir_ / "record")));
  EXPECT_NE(kill(pid, 0), 0) << "ended and reaped";
}

TEST_F(Desktop, ADialogDestroyedWhileOpenIsEnded) {
  program("zenity", "echo $$ > \"$RECORD\"; exec sleep 600\n");
  pid_t pid = 0;
  {
    FileDialog d;
    std::string reason;
    ASSERT_EQ(start_file_dialog(kSpec, &d, &reason), DialogState::kRunning);
    ASSERT_TRUE(eventually([&] { return !read_text(dir_ / "record").empty(); }));
    pid = static_cast<pid_t>(d.process);
  }
  EXPECT_NE(kill(pid, 0), 0);
  FileDialog none;
  std::string path, reason;
  EXPECT_EQ(poll_file_dialog(&none, 0, &path, &reason), DialogState::kFailed);
}

}  // namespace
}  // namespace lumra::sys
