#include "person_cutout/stage_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace person_cutout {
namespace {

TEST(StageQueueTest, PassesEveryItemInOrderWhileHoldingNoMoreThanItsCapacity) {
  constexpr int kItems = 500;
  StageQueue<std::unique_ptr<int>> queue(2);
  std::atomic<int> put{0};
  std::atomic<int> taken{0};
  std::atomic<int> mostHeld{0};
  std::thread producer([&] {
    for (int i = 0; i < kItems; ++i) {
      ASSERT_TRUE(queue.put(std::make_unique<int>(i)));
      ++put;
      // Put before taken counts one being taken now, so the queue held at most this many less one.
      const int held = put.load() - taken.load() - 1;
      int seen = mostHeld.load();
      while (held > seen && !mostHeld.compare_exchange_weak(seen, held)) {
      }
    }
  });
  std::vector<int> got;
  for (int i = 0; i < kItems; ++i) {
    if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // let the producer run ahead
    std::optional<std::unique_ptr<int>> item = queue.take();
    ASSERT_TRUE(item);
    got.push_back(**item);
    ++taken;
  }
  producer.join();
  for (int i = 0; i < kItems; ++i) ASSERT_EQ(got[i], i);
  EXPECT_LE(mostHeld.load(), 2);
}

TEST(StageQueueTest, ClosingEndsWaitsOnBothSidesAndDropsWhatWaits) {
  // A producer held up by a full queue, and a consumer waiting on an empty one, both let go.
  StageQueue<std::shared_ptr<int>> full(1);
  const auto dropped = std::make_shared<int>(1);
  ASSERT_TRUE(full.put(dropped));
  bool putWhileFull = true;
  std::thread producer([&] { putWhileFull = full.put(std::make_shared<int>(2)); });
  StageQueue<int> empty(1);
  std::optional<int> takenWhileEmpty = 0;
  std::thread consumer([&] { takenWhileEmpty = empty.take(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  full.close();
  empty.close();
  producer.join();
  consumer.join();
  EXPECT_FALSE(putWhileFull);
  EXPECT_FALSE(takenWhileEmpty);
  EXPECT_EQ(dropped.use_count(), 1);  // the queue let go of the item it held

  // And later calls do not wait either.
  EXPECT_FALSE(full.put(std::make_shared<int>(3)));
  EXPECT_FALSE(full.take());
}

}  // namespace
}  // namespace person_cutout
