// A queue between two stages of the frame loop, each on a thread of its own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace person_cutout {

// First in, first out, holding at most `capacity` items: a stage that gets ahead waits, so the
// frames in flight, and the memory they take, stay bounded. Once closed (by a stage downstream
// that stopped), it holds nothing and every wait ends: putting gives false, dropping the item, and
// taking gives nothing, so the stages on either side stop too.
template <typename Item>
class StageQueue {
 public:
  explicit StageQueue(size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}

  // Waits for room, then adds `item`; false, dropping it, when the queue is closed.
  bool put(Item item) {
    std::unique_lock<std::mutex> held(lock_);
    changed_.wait(held, [&] { return closed_ || items_.size() < capacity_; });
    if (closed_) return false;
    items_.push_back(std::move(item));
    changed_.notify_all();
    return true;
  }

  // Waits for an item and takes the oldest; nothing once the queue is closed.
  std::optional<Item> take() {
    std::unique_lock<std::mutex> held(lock_);
    changed_.wait(held, [&] { return closed_ || !items_.empty(); });
    if (closed_) return std::nullopt;
    std::optional<Item> item(std::move(items_.front()));
    items_.pop_front();
    changed_.notify_all();
    return item;
  }

  // Nothing more will pass: drops what waits and ends every put and take, now and later.
  void close() {
    std::deque<Item> dropped;
    {
      std::lock_guard<std::mutex> held(lock_);
      closed_ = true;
      dropped.swap(items_);
    }
    changed_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Item> items_;
  size_t capacity_;
  bool closed_ = false;
};

}  // namespace person_cutout
