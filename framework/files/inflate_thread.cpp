// The helper's walk mirrors the command's: the same directory, the same members in the same
// order, so each piece belongs to the member the command is writing. A member that fails ends
// with a last piece saying why; the command decides what follows, as with its own reads.
#include "framework/files/inflate_thread.h"

#include "framework/base/error.h"

namespace lumra::files {

InflateThread::~InflateThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  zip_member_abandon(&zip_);
}

int InflateThread::start(const char* path, std::vector<uint64_t> members) {
  if (!zip_reader_open(&zip_, path)) return 0;
  members_ = std::move(members);
  memory_.reset(new (std::nothrow) uint8_t[kPieceSize * kPieceCount]);
  if (!memory_) return base::fail("no memory for the inflating buffers");
  for (size_t i = 0; i < kPieceCount; ++i) free_.push_back(memory_.get() + i * kPieceSize);
  try {
    thread_ = std::thread([this] { run(); });
  } catch (...) {
    return base::fail("cannot start the inflating thread");
  }
  return 1;
}

bool InflateThread::push(Piece piece) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    ready_.push_back(std::move(piece));
  }
  changed_.notify_all();
  return true;
}

uint8_t* InflateThread::take_buffer() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return stopping_ || !free_.empty(); });
  if (stopping_) return nullptr;
  uint8_t* const data = free_.back();
  free_.pop_back();
  return data;
}

void InflateThread::give_back(uint8_t* data) {
  if (!data) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(data);
  }
  changed_.notify_all();
}

Piece InflateThread::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
  if (ready_.empty()) {
    Piece none;
    none.last = true;
    none.ok = false;
    none.reason = "the inflating thread ended early";
    return none;
  }
  Piece piece = std::move(ready_.front());
  ready_.pop_front();
  return piece;
}

void InflateThread::skip(uint64_t member) {
  for (;;) {
    Piece piece = next();
    give_back(piece.data);
    if (piece.last || piece.member != member) return;
  }
}

void InflateThread::run() {
  size_t wanted = 0;
  uint64_t index = 0;
  for (MemberStep step = zip_first(&zip_); step == MemberStep::kMember && wanted < members_.size();
       step = zip_next(&zip_)) {
    if (++index != members_[wanted]) continue;
    ++wanted;
    Piece end;
    end.member = index;
    end.last = true;
    if (zip_member_open(&zip_)) {
      uint64_t left = zip_.member.uncompressed_size;
      while (left > 0 && end.ok) {
        uint8_t* const data = take_buffer();
        if (!data) break;
        const size_t want = left < kPieceSize ? static_cast<size_t>(left) : kPieceSize;
        const int got = zip_member_read(&zip_, data, static_cast<unsigned>(want));
        if (got <= 0) {
          give_back(data);
          base::failf("zip member %s ends before its %llu bytes", zip_.member.name.c_str(),
                      static_cast<unsigned long long>(zip_.member.uncompressed_size));
          end.ok = false;
          break;
        }
        left -= static_cast<uint64_t>(got);
        Piece piece;
        piece.member = index;
        piece.data = data;
        piece.length = static_cast<size_t>(got);
        if (!push(std::move(piece))) {
          give_back(data);
          break;
        }
      }
      if (end.ok) {
        end.ok = zip_member_close(&zip_) != 0;
      } else {
        zip_member_abandon(&zip_);
      }
    } else {
      end.ok = false;
    }
    if (!end.ok) end.reason = base::last_error();
    if (!push(std::move(end))) break;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

bool inflate_thread_helps() { return std::thread::hardware_concurrency() > 1; }

}  // namespace lumra::files
