// The watch loop of a waiting launch. Each pass: the Escape check (without an output function),
// the answers to the program's prompt after a break and the abandon, a look at whether the program
// has ended, then (with an output function) key forwarding with its echo, the program's lines and
// the idle call. Everything polls; a pass with nothing to do sleeps until the program writes or a
// short while passes, so the loop neither spins nor lets the window go unserviced for long.
//
// The break is SIGINT to the program's process group. The program's console is its pipes, so
// there is no console to attach to, and the graphics window has no child windows to give the
// keyboard to (controls are drawn inside it): the focus never leaves it and needs no giving back.
#include <cstddef>

#include "framework/input/clock.h"
#include "framework/input/key_poll.h"
#include "framework/process/launcher_internal.h"

namespace lumra::process {
namespace {

constexpr int32_t kUndecided = -1;
constexpr int32_t kEscape = 27;
constexpr int32_t kEnter = 13;
// Without an output function a pass waits this long for the program to end.
constexpr uint32_t kProgramWaitMs = 100;
// With one, a pass that found nothing to do waits this long for the program to write.
constexpr uint32_t kIdleWaitMs = 10;
// Answers come at steps of two whole seconds after the break; the program is abandoned after ten.
constexpr int32_t kLastAnswerStep = 4;
constexpr int32_t kAbandonTicks = 10 * input::kTicksPerSecond;
// A kill is followed by a short wait so that the program is reaped here when it dies at once.
constexpr uint32_t kKillReapMs = 100;
// Bytes read from one pipe in one pass: a program that writes without pause must not keep the
// loop from the keys and the idle call.
constexpr size_t kReadChunk = 4096;
constexpr size_t kReadPerPass = 16 * kReadChunk;
// After the program has ended: what is read before its last lines are handed out (whatever it
// started may go on writing into the same pipes).
constexpr size_t kReadAfterEnd = 16 * kReadPerPass;

// The first event codes of the key poll (window close, dialog cancel, window restored).
constexpr int32_t kFirstEvent = 32752;
constexpr int32_t kLastEvent = 32754;

enum class PipeRead : uint8_t { kStopped, kEmpty, kMoreWaiting };

bool to_function(const char* text, int32_t kind, void* data) {
  const LaunchContext* c = static_cast<const LaunchContext*>(data);
  return c->function(text, c->data, kind) != kStopAnswer;
}

void send(base::OwnedDescriptor& pipe, char byte) {
  if (!pipe) return;
  size_t written = 0;
  // A full pipe or one whose reader has gone takes nothing: the byte is lost, as a key typed at a
  // program that does not read is.
  sys::write_waiting(pipe.get(), &byte, 1, &written);
}

bool is_event(int32_t code) { return code >= kFirstEvent && code <= kLastEvent; }

void hold_event(LaunchContext* c, int32_t code) {
  if (is_event(code)) c->held_event = code;
}

// A waiting key goes to the program's input and, as an echo, into its output: the character in
// its code's low byte (Tab, Ctrl+letter and Backspace included); Enter also sends a line feed.
// Keys without a character (low byte 0, or the poll's own 0xFF codes) are taken and not sent;
// window events are held for the caller. True when a key was taken.
bool forward_key(LaunchContext* c) {
  if (input::peek_key() == 0) return false;
  const int32_t code = input::wait_key();
  const int32_t low = code & 0xFF;
  if (code <= 0 || low == 0 || low == 0xFF || is_event(code)) {
    hold_event(c, code);
    return true;
  }
  const char byte = static_cast<char>(low);
  send(c->input.write_end, byte);
  send(c->output.write_end, byte);
  if (code == kEnter) {
    send(c->input.write_end, '\n');
    send(c->output.write_end, '\n');
  }
  return true;
}

PipeRead read_pipe(LaunchContext* c, PipeRecord* p, size_t most, uint32_t now, bool* busy) {
  if (p->ended || !p->read_end) return PipeRead::kEmpty;
  unsigned char buffer[kReadChunk];
  for (size_t total = 0; total < most;) {
    size_t got = 0;
    bool ended = false;
    if (!sys::ok(sys::read_waiting(p->read_end.get(), buffer, sizeof buffer, &got, &ended))) ended = true;
    p->ended = ended;
    if (got == 0) return PipeRead::kEmpty;
    *busy = true;
    total += got;
    for (size_t i = 0; i < got; ++i) {
      if (!take_byte(&p->lines, buffer[i], now, to_function, c)) return PipeRead::kStopped;
    }
  }
  return PipeRead::kMoreWaiting;
}

// Standard output's lines, then standard error's. False when the function stopped the wait.
bool hand_out_lines(LaunchContext* c, uint32_t now, bool running, bool* busy) {
  const size_t most = running ? kReadPerPass : kReadAfterEnd;
  const PipeRead out = read_pipe(c, &c->output, most, now, busy);
  if (out == PipeRead::kStopped) return false;
  if (out == PipeRead::kEmpty && !no_more_bytes(&c->output.lines, now, to_function, c)) return false;
  if (read_pipe(c, &c->error, most, now, busy) == PipeRead::kStopped) return false;
  if (running) return true;
  return last_bytes_read(&c->output.lines, now, to_function, c) &&
         last_bytes_read(&c->error.lines, now, to_function, c);
}

// The letter of a prompt such as "Terminate batch job (Y/N)?": the first letter right after "(".
char prompt_letter(const char* line) {
  for (const char* p = line; p[0] != '\0'; ++p) {
    const char next = p[1];
    if (p[0] == '(' && ((next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z'))) return next;
  }
  return 0;
}

void answer(LaunchContext* c, int32_t step) {
  static constexpr char kLaterAnswers[] = {'s', 'y', 'o'};
  const char letter = step == 1 ? prompt_letter(c->output.lines.line) : kLaterAnswers[step - 2];
  if (letter == 0) return;
  send(c->input.write_end, letter);
  send(c->input.write_end, '\n');
}

void send_break(LaunchContext* c) {
  // A group that has gone needs no break; the time is noted all the same, so the wait still
  // ends by the abandon if the program never ends.
  sys::interrupt_group(c->process_id);
  c->break_sent = true;
  c->break_time = input::read_clock();
}

// Step 4 of a pass. False when the function stopped the wait.
bool console_pass(LaunchContext* c, bool running) {
  bool busy = running && forward_key(c);
  const uint32_t now = input::read_clock();
  if (!hand_out_lines(c, now, running, &busy)) return false;
  if (!running) return true;
  if (c->function(nullptr, c->data, kIdleCall) == kStopAnswer && !c->break_sent) send_break(c);
  if (!busy) {
    const sys::Descriptor pipes[] = {c->output.ended ? sys::kNoDescriptor : c->output.read_end.get(),
                                     c->error.ended ? sys::kNoDescriptor : c->error.read_end.get()};
    sys::wait_readable(pipes, 2, kIdleWaitMs);
  }
  return true;
}

// Escape without an output function: true when it came. Other keys are taken and dropped.
bool escape_pressed(LaunchContext* c) {
  if (input::peek_key() == 0) return false;
  const int32_t code = input::wait_key();
  hold_event(c, code);
  return code == kEscape;
}

}  // namespace

int32_t watch(LaunchContext* c, bool terminate_on_abort) {
  int32_t result = kUndecided;
  bool aborted = false;
  while (result == kUndecided && !aborted) {
    if (!c->function && escape_pressed(c)) {
      aborted = true;
      break;
    }
    if (c->break_sent) {
      const int32_t since = static_cast<int32_t>(input::read_clock() - c->break_time);
      const int32_t step = since / input::kTicksPerSecond / 2;
      // Every step reached gets its answer in order, even when a slow pass skipped one.
      while (c->last_answer_step < step && c->last_answer_step < kLastAnswerStep)
        answer(c, ++c->last_answer_step);
      if (since > kAbandonTicks) {
        result = 0;
        break;
      }
    }
    const sys::ChildState state = sys::wait_child(c->process_id, c->function ? 0 : kProgramWaitMs);
    if (state != sys::ChildState::kRunning) {
      c->process.release_ownership();
      result = state == sys::ChildState::kEnded ? 1 : 0;
    }
    // The pass that sees the end still hands out the program's last lines.
    if (c->function && !console_pass(c, result == kUndecided)) aborted = true;
  }
  if (aborted && terminate_on_abort && c->process) {
    sys::kill_process(c->process_id);
    if (sys::wait_child(c->process_id, kKillReapMs) != sys::ChildState::kRunning)
      c->process.release_ownership();
  }
  if (c->held_event != 0) input::push_key(c->held_event);
  return aborted ? 0 : result;
}

}  // namespace lumra::process
