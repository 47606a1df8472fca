// Zip extraction on several cores: a helper thread walks the archive a second time and inflates
// its share of the members to be extracted (checking their sizes and CRCs) into a few plain
// buffers, while the command's own thread creates the files and writes them. The command runs two
// helpers that take the members in turns: inflating is the larger share of the work, and with one
// helper the writing thread spent a third of its time waiting. A helper touches nothing of the framework's state:
// it has its own archive handle, its own buffers (not the framework's heaps, which serve one
// thread) and hands its failure reasons over as text. On one core it still works, in turns.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/files/zip_binding.h"

namespace lumra::files {

// The helper fills buffers of kBufferSize bytes, one after the other, with the data of as many
// members as fit (a package holds thousands of small files: one hand-over per member would cost
// two thread switches each, and on a busy machine every switch waits for a time slice). A
// buffer's pieces go over together when it is full, so the writing thread wakes once per MiB
// (about 1,100 thread switches for a 340 MB package, against 17,000 with one hand-over per
// member). With kBufferCount buffers the helper holds 4 MiB at most, whatever the package.
inline constexpr size_t kBufferSize = 1024 * 1024;
inline constexpr size_t kBufferCount = 4;

struct Piece {
  uint64_t member = 0;    // place in the directory, from 1
  uint8_t* data = nullptr;  // give the piece back with InflateThread::give_back
  size_t length = 0;
  size_t buffer = 0;      // which buffer holds `data`
  bool last = false;      // the member's end: `ok` tells whether it checked out (sizes, CRC)
  bool ok = true;
  std::string reason;     // when !ok
};

class InflateThread {
 public:
  InflateThread() = default;
  ~InflateThread();  // stops the helper and waits for it
  InflateThread(const InflateThread&) = delete;
  InflateThread& operator=(const InflateThread&) = delete;

  // Starts inflating the members at `members` (places from 1, ascending) of the zip at `path`.
  // 1, or 0 with a reason (the caller then extracts on its own).
  int start(const char* path, std::vector<uint64_t> members);
  // The next piece, in member order. Blocks until there is one.
  Piece next();
  void give_back(const Piece& piece);
  // Reads and drops what is left of `member` (one that is not written after all).
  void skip(uint64_t member);

 private:
  void run();
  bool publish(std::vector<Piece>* batch);  // false once stopping
  bool take_buffer(size_t* buffer);         // false once stopping
  void release(size_t buffer);              // one user fewer; the last one frees it

  ZipReader zip_;
  std::vector<uint64_t> members_;
  std::unique_ptr<uint8_t[]> memory_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> ready_;
  std::vector<size_t> free_;
  size_t users_[kBufferCount] = {};  // pieces not given back, and the helper while it fills it
  bool stopping_ = false;
  bool finished_ = false;
  std::thread thread_;
};

// Whether a second core is there to make the helper worth starting.
bool inflate_thread_helps();

}  // namespace lumra::files
