// The helper's walk mirrors the command's: the same directory, the same members in the same
// order, so each piece belongs to the member the command is writing. A member that fails ends
// with a last piece saying why; the command decides what follows, as with its own reads.
#include "framework/files/inflate_thread.h"

#include "framework/base/error.h"
#include "platform/system/process.h"

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
  zip_.inflate_here = true;
  members_ = std::move(members);
  memory_.reset(new (std::nothrow) uint8_t[kBufferSize * kBufferCount]);
  if (!memory_) return base::fail("no memory for the inflating buffers");
  for (size_t i = 0; i < kBufferCount; ++i) free_.push_back(kBufferCount - 1 - i);
  try {
    thread_ = std::thread([this] { run(); });
  } catch (...) {
    return base::fail("cannot start the inflating thread");
  }
  return 1;
}

bool InflateThread::publish(std::vector<Piece>* batch) {
  if (batch->empty()) return true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    for (Piece& piece : *batch) ready_.push_back(std::move(piece));
  }
  batch->clear();
  changed_.notify_all();
  return true;
}

bool InflateThread::take_buffer(size_t* buffer) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return stopping_ || !free_.empty(); });
  if (stopping_) return false;
  *buffer = free_.back();
  free_.pop_back();
  users_[*buffer] = 1;  // the helper, while it fills it
  return true;
}

void InflateThread::release(size_t buffer) {
  bool freed = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (users_[buffer] > 0 && --users_[buffer] == 0) {
      free_.push_back(buffer);
      freed = true;
    }
  }
  // Only a freed buffer can be what the helper waits for.
  if (freed) changed_.notify_all();
}

void InflateThread::give_back(const Piece& piece) {
  if (piece.data) release(piece.buffer);
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
    give_back(piece);
    if (piece.last || piece.member != member) return;
  }
}

void InflateThread::run() {
  // Pieces of the buffer being filled wait in `batch`, and go over when it is full (or at the end).
  std::vector<Piece> batch;
  bool have_buffer = false;
  size_t buffer = 0;
  size_t used = 0;
  bool going = true;
  // Room for `want` more bytes, or a fresh buffer when the current one has too little left; small
  // members share a buffer, large ones take whole buffers.
  constexpr size_t kLeastRoom = 16 * 1024;
  const auto make_room = [&](size_t want) {
    const size_t room = have_buffer ? kBufferSize - used : 0;
    if (room >= want || room >= kLeastRoom) return true;
    if (!publish(&batch)) return false;
    if (have_buffer) release(buffer);
    have_buffer = take_buffer(&buffer);
    used = 0;
    return have_buffer;
  };
  size_t wanted = 0;
  uint64_t index = 0;
  for (MemberStep step = zip_first(&zip_); going && step == MemberStep::kMember && wanted < members_.size();
       step = zip_next(&zip_)) {
    if (++index != members_[wanted]) continue;
    ++wanted;
    Piece end;
    end.member = index;
    end.last = true;
    if (zip_member_open(&zip_)) {
      uint64_t left = zip_.member.uncompressed_size;
      while (left > 0 && end.ok) {
        const size_t whole = left < kBufferSize ? static_cast<size_t>(left) : kBufferSize;
        if (!make_room(whole)) {
          going = false;
          break;
        }
        const size_t room = kBufferSize - used;
        const size_t want = whole < room ? whole : room;
        uint8_t* const data = memory_.get() + buffer * kBufferSize + used;
        const int got = zip_member_read(&zip_, data, static_cast<unsigned>(want));
        if (got <= 0) {
          base::failf("zip member %s ends before its %llu bytes", zip_.member.name.c_str(),
                      static_cast<unsigned long long>(zip_.member.uncompressed_size));
          end.ok = false;
          break;
        }
        left -= static_cast<uint64_t>(got);
        used += static_cast<size_t>(got);
        Piece piece;
        piece.member = index;
        piece.data = data;
        piece.length = static_cast<size_t>(got);
        piece.buffer = buffer;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          ++users_[buffer];
        }
        batch.push_back(std::move(piece));
      }
      if (end.ok && going) {
        end.ok = zip_member_close(&zip_) != 0;  // sizes and CRC
      } else {
        zip_member_abandon(&zip_);
      }
    } else {
      end.ok = false;
    }
    if (!going) break;
    if (!end.ok) {
      end.reason = base::last_error();
      // A failure ends the member at once: the writing thread need not wait for the buffer to fill.
      batch.push_back(std::move(end));
      going = publish(&batch);
      continue;
    }
    batch.push_back(std::move(end));
  }
  publish(&batch);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

bool inflate_thread_helps() { return sys::usable_cores() > 1; }

}  // namespace lumra::files
