// Zip extraction on two cores: a helper thread walks the archive a second time and inflates the
// members to be extracted (checking their CRC) into a few plain buffers, while the command's own
// thread creates the files and writes them. The helper touches nothing of the framework's state:
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

// Up to this many bytes of one member per piece; with kPieceCount pieces in flight the helper
// holds 1 MiB at most.
inline constexpr size_t kPieceSize = 256 * 1024;
inline constexpr size_t kPieceCount = 4;

struct Piece {
  uint64_t member = 0;    // place in the directory, from 1
  uint8_t* data = nullptr;  // give it back with InflateThread::give_back
  size_t length = 0;
  bool last = false;      // the member's end: `ok` tells whether it checked out (CRC, sizes)
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
  void give_back(uint8_t* data);
  // Reads and drops what is left of `member` (one that is not written after all).
  void skip(uint64_t member);

 private:
  void run();
  bool push(Piece piece);  // false once stopping
  uint8_t* take_buffer();  // null once stopping

  ZipReader zip_;
  std::vector<uint64_t> members_;
  std::unique_ptr<uint8_t[]> memory_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> ready_;
  std::vector<uint8_t*> free_;
  bool stopping_ = false;
  bool finished_ = false;
  std::thread thread_;
};

// Whether a second core is there to make the helper worth starting.
bool inflate_thread_helps();

}  // namespace lumra::files
