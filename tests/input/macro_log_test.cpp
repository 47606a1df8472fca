// Macro logs: the exact line format and its tolerant reading, recording through the mouse and key
// polls (one record per change, on disk at once), and playback with its timing, pointer moves, key
// hold, long lines, a missing log and a recorded session played back.
#include "framework/input/macro_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "framework/input/key_poll.h"
#include "framework/input/mouse.h"
#include "tests/input/keyboard_session.h"

namespace lumra::input {
namespace {

namespace hl = platform::headless;
using platform::kVkNext;
using platform::kVkPrior;
using platform::kVkShift;
using testing::MacroEvent;
using Events = std::vector<MacroEvent>;

std::string line(int32_t elapsed, MacroReading r) {
  char out[96];
  const size_t n = format_log_record(out, sizeof out, elapsed, r);
  return std::string(out, n);
}

TEST(MacroLogLine, FormatIsExact) {
  EXPECT_EQ(line(1500, {100, 200, 1, 0}), "00001500 0100;0200 1 00000 (- 0000)\r\n");
  EXPECT_EQ(line(0, {5, 7, 0, 'a'}), "00000000 0005;0007 0 00097 (a 0061)\r\n");
  EXPECT_EQ(line(12, {0, 0, 16, 0x3B00}), std::string("00000012 0000;0000 16 15104 (\0 3b00)\r\n", 38))
      << "F1's low byte is a NUL byte";
  EXPECT_EQ(line(3, {-5, 1234567, 0, 0x1E01}), "00000003 -005;1234567 0 07681 (\x01 1e01)\r\n");
  EXPECT_EQ(line(123456789, {0, 0, 0, 0x10071}), "123456789 0000;0000 0 65649 (q 10071)\r\n");
  char tiny[8];
  EXPECT_EQ(format_log_record(tiny, sizeof tiny, 0, MacroReading{}), 0u);
}

TEST(MacroLogLine, ReadsNumbersNotColumns) {
  struct Case {
    std::string text;
    bool ok;
    int32_t time;
    MacroReading r;
  };
  const Case cases[] = {
      {"00001500 0100;0200 1 00000 (- 0000)\r\n", true, 1500, {100, 200, 1, 0}},
      {std::string("00000012 0000;0000 16 15104 (\0 3b00)\r\n", 38), true, 12, {0, 0, 16, 15104}},
      {"7 -3;-4 2 97", true, 7, {-3, -4, 2, 97}},
      {"7 3;4 2 97\r\n", true, 7, {3, 4, 2, 97}},
      {"  9   10;  11   12   13 (x", true, 9, {10, 11, 12, 13}},
      {"99999999999 1;2 3 4 ", true, 2147483647, {1, 2, 3, 4}},
      {"-99999999999 1;2 3 4 ", true, -2147483647 - 1, {1, 2, 3, 4}},
      {"12abc 1x;2 3 4", true, 12, {1, 2, 3, 4}},
      {"1 2;3 4", false, 0, {}},
      {"1 2 3 4 5", false, 0, {}},
      {"\r\n", false, 0, {}},
      {"", false, 0, {}},
      {std::string("1 2;\0 4 5 6", 11), false, 0, {}},
  };
  for (const Case& c : cases) {
    int32_t time = 0;
    MacroReading r{};
    EXPECT_EQ(parse_log_record(c.text.data(), c.text.size(), &time, &r), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(time, c.time) << c.text;
    EXPECT_EQ(r.x, c.r.x) << c.text;
    EXPECT_EQ(r.y, c.r.y) << c.text;
    EXPECT_EQ(r.buttons, c.r.buttons) << c.text;
    EXPECT_EQ(r.key, c.r.key) << c.text;
  }
}

class MacroLogs : public testing::KeyboardSession {
 protected:
  // Shift+Page Down (record) or Shift+Page Up (play), then the digit, through the key poll.
  void arm(int32_t vk, char digit) {
    press(vk, {kVkShift});
    type(std::string(1, digit));
    ASSERT_EQ(wait_key(), 0);
  }
  static MacroReading poll_mouse() {
    MacroReading r{};
    mouse_poll(&r.x, &r.y, &r.buttons);
    return r;
  }
  static void write_log(char digit, const std::string& text) {
    std::FILE* f = std::fopen((std::string("lumra_macro_") + digit + ".log").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
};

TEST_F(MacroLogs, RecordingWritesOneRecordPerChangedMouseReading) {
  arm(kVkNext, '5');
  ASSERT_EQ(macro_log_state(), kLogRecording);
  for (int i = 0; i < 5; ++i) poll_mouse();
  EXPECT_FALSE(std::filesystem::exists("lumra_macro_5.log")) << "nothing changed, nothing written";

  const uint32_t t0 = hl::now();
  hl::post_at(t0 + 100, hl::mouse_move(30, 40));
  input::delay(100);
  poll_mouse();
  poll_mouse();
  hl::post_at(t0 + 150, hl::mouse_move(31, 40));
  hl::post_at(t0 + 150, hl::mouse_move(32, 41));
  input::delay(50);
  poll_mouse();
  hl::post_at(t0 + 170, hl::button_down(platform::kButtonLeft));
  input::delay(20);
  poll_mouse();
  EXPECT_EQ(file_text("lumra_macro_5.log"),
            "00000000 0030;0040 0 00000 (- 0000)\r\n"
            "00000050 0032;0041 0 00000 (- 0000)\r\n"
            "00000070 0032;0041 1 00000 (- 0000)\r\n")
      << "one record per poll that saw a change, timed from the first";
}

TEST_F(MacroLogs, AKeyRecordIsFollowedByAKeyZeroRecord) {
  arm(kVkNext, '6');
  type("a");
  hl::set_now(script_end());
  graphics::pump_messages();
  EXPECT_EQ(peek_key(), 'a');
  EXPECT_EQ(wait_key(), 'a');
  hl::advance(30);
  EXPECT_EQ(peek_key(), 0);
  EXPECT_EQ(peek_key(), 0);
  EXPECT_EQ(file_text("lumra_macro_6.log"),
            "00000000 0000;0000 0 00097 (a 0061)\r\n"
            "00000030 0000;0000 0 00000 (- 0000)\r\n");
}

TEST_F(MacroLogs, ARecordThatCannotBeWrittenIsLostAndRecordingGoesOn) {
  ASSERT_EQ(mkdir("lumra_macro_8.log", 0700), 0);
  arm(kVkNext, '8');
  hl::post(hl::mouse_move(1, 2));
  poll_mouse();
  EXPECT_EQ(macro_log_state(), kLogRecording);
  ASSERT_EQ(rmdir("lumra_macro_8.log"), 0);
  hl::advance(40);
  hl::post(hl::mouse_move(3, 4));
  poll_mouse();
  EXPECT_EQ(file_text("lumra_macro_8.log"), "00000000 0003;0004 0 00000 (- 0000)\r\n")
      << "the first record written starts the log and its time";
}

TEST_F(MacroLogs, PlayingMovesThePointerAndReportsTheButtonOnTime) {
  write_log('4', line(1500, {100, 200, 1, 0}));
  arm(kVkPrior, '4');
  const uint32_t t0 = hl::now();
  MacroReading r = poll_mouse();
  EXPECT_EQ(r.buttons, 0);
  hl::set_now(t0 + 1499);
  r = poll_mouse();
  EXPECT_EQ(r.buttons, 0);
  EXPECT_EQ(r.x, 0);
  hl::set_now(t0 + 1500);
  r = poll_mouse();
  EXPECT_EQ(r.x, 100);
  EXPECT_EQ(r.y, 200);
  EXPECT_EQ(r.buttons, 1);
  int32_t wx = 0, wy = 0;
  hl::last_warp(&wx, &wy);
  EXPECT_EQ(wx, 100);
  EXPECT_EQ(wy, 200);
  EXPECT_EQ(macro_log_state(), kLogStopRequested) << "that was the last record";
  poll_mouse();
  EXPECT_EQ(macro_log_state(), kLogOff);
  EXPECT_EQ(testing::g_macro_events.back(), (MacroEvent{0, 0, 0}));
}

TEST_F(MacroLogs, AMissingLogStopsAtOnce) {
  arm(kVkPrior, '9');
  poll_mouse();
  EXPECT_EQ(macro_log_state(), kLogStopRequested);
  poll_mouse();
  EXPECT_EQ(macro_log_state(), kLogOff);
  EXPECT_EQ(testing::g_macro_events, (Events{{4, 1, 0}, {4, 0, 0}, {2, 0, 0}, {0, 0, 0}}));
}

TEST_F(MacroLogs, ALineOfMoreThan78CharactersIsReadInTwoParts) {
  const std::string first = "00000000 0010;0020 0 00000 ";
  write_log('3', first + std::string(78 - first.size(), 'x') + line(200, {30, 40, 1, 0}) + line(400, {50, 60, 0, 0}));
  arm(kVkPrior, '3');
  const uint32_t t0 = hl::now();
  MacroReading r = poll_mouse();
  EXPECT_EQ(r.x, 10);
  EXPECT_EQ(r.y, 20);
  hl::set_now(t0 + 200);
  r = poll_mouse();
  EXPECT_EQ(r.x, 30) << "the rest of the long line is the next record";
  EXPECT_EQ(r.y, 40);
  EXPECT_EQ(r.buttons, 1);
  hl::set_now(t0 + 400);
  r = poll_mouse();
  EXPECT_EQ(r.x, 50);
}

TEST_F(MacroLogs, PlaybackWaitsAtAKeyUntilAWaitingPollTakesIt) {
  write_log('2', line(0, {10, 10, 0, 0}) + line(100, {10, 10, 0, 'k'}) + line(105, {10, 10, 0, 0}) +
                     line(300, {20, 20, 0, 0}));
  arm(kVkPrior, '2');
  const uint32_t t0 = hl::now();
  EXPECT_EQ(peek_key(), 0);
  hl::set_now(t0 + 500);
  EXPECT_EQ(peek_key(), 'k');
  EXPECT_EQ(poll_mouse().x, 10) << "held at the key";
  EXPECT_EQ(peek_key(), 'k');
  EXPECT_EQ(wait_key(), 'k');
  EXPECT_EQ(peek_key(), 0) << "taken once; the overdue key-0 record follows";
  EXPECT_EQ(poll_mouse().x, 20);
}

TEST_F(MacroLogs, RealKeysAreDroppedWhileALogPlaysAndEitherLogKeyStopsIt) {
  write_log('1', line(0, {1, 1, 0, 0}) + line(10000, {2, 2, 0, 0}));
  arm(kVkPrior, '1');
  type("z");
  hl::set_now(script_end());
  EXPECT_EQ(peek_key(), 0);
  EXPECT_FALSE(graphics::input_waiting()) << "z dropped";
  press(kVkNext, {kVkShift});
  hl::set_now(script_end());
  graphics::pump_messages();
  EXPECT_EQ(peek_key(), 0);
  EXPECT_EQ(macro_log_state(), kLogStopRequested);
  poll_mouse();
  EXPECT_EQ(macro_log_state(), kLogOff);
}

TEST_F(MacroLogs, ARecordedSessionPlaysBack) {
  arm(kVkNext, '0');
  const uint32_t t0 = hl::now();
  hl::post_at(t0 + 50, hl::mouse_move(60, 70));
  hl::post_at(t0 + 120, hl::key_down('Q'));
  hl::post_at(t0 + 120, hl::character('q'));
  hl::post_at(t0 + 200, hl::mouse_move(80, 90));
  std::vector<int32_t> keys;
  // A splash-like loop: a mouse poll, a peek, a take when there is a key.
  auto loop_until = [&keys](uint32_t end) {
    std::vector<MacroReading> seen;
    while (static_cast<int32_t>(hl::now() - end) < 0) {
      seen.push_back(MacroLogs::poll_mouse());
      if (peek_key()) {
        // Shift+Page Down ends the recording: the poll uses it up and returns 0.
        if (const int32_t key = wait_key()) keys.push_back(key);
      }
      input::delay(10);
    }
    return seen;
  };
  loop_until(t0 + 300);
  press(kVkNext, {kVkShift});
  loop_until(script_end() + 20);
  ASSERT_EQ(macro_log_state(), kLogOff);
  EXPECT_EQ(keys, std::vector<int32_t>{'q'});
  EXPECT_EQ(file_text("lumra_macro_0.log"),
            "00000000 0060;0070 0 00000 (- 0000)\r\n"
            "00000070 0060;0070 0 00113 (q 0071)\r\n"
            "00000080 0060;0070 0 00000 (- 0000)\r\n"
            "00000150 0080;0090 0 00000 (- 0000)\r\n"
            "00000270 0080;0090 0 03583 (\xFF 0dff)\r\n")
      << "the key that stops the recording is its last record";

  keys.clear();
  arm(kVkPrior, '0');
  const uint32_t t1 = hl::now();
  const std::vector<MacroReading> seen = loop_until(t1 + 400);
  EXPECT_EQ(keys, std::vector<int32_t>{'q'}) << "the key once, from the log";
  ASSERT_GE(seen.size(), 30u);
  EXPECT_EQ(seen[0].x, 60) << "the first record plays at once";
  EXPECT_EQ(seen[14].x, 60) << "140 ms in";
  EXPECT_EQ(seen[16].x, 80) << "160 ms in";
  EXPECT_EQ(seen[25].x, 80) << "250 ms in";
  EXPECT_EQ(seen[25].y, 90);
}

}  // namespace
}  // namespace lumra::input
