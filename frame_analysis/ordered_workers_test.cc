#include "frame_analysis/ordered_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace frame_analysis {
namespace {

// Items that take uneven times, so that workers finish out of order.
void unevenPause(size_t item) { std::this_thread::sleep_for(std::chrono::microseconds((item * 7919) % 13 * 150)); }

TEST(InOrderTest, EveryItemIsMadeOnceAndTakenInOrderHoweverManyWorkers) {
  for (const unsigned workers : {1u, 2u, 3u, 8u}) {
    for (const size_t count : {size_t{0}, size_t{1}, size_t{5}, size_t{200}}) {
      std::vector<std::atomic<int>> madeTimes(count);
      std::vector<std::string> taken;
      inOrder<std::string>(
          count, workers, 4,
          [&](size_t item) {
            ++madeTimes[item];
            unevenPause(item);
            return std::to_string(item);
          },
          [&](std::string result) {
            taken.push_back(std::move(result));
            return true;
          });
      ASSERT_EQ(taken.size(), count) << workers << " workers";
      for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(taken[i], std::to_string(i)) << workers << " workers";
        EXPECT_EQ(madeTimes[i].load(), 1) << "item " << i << ", " << workers << " workers";
      }
    }
  }
}

TEST(InOrderTest, WorkersNeverGetFurtherAheadThanAllowedOfASlowTaker) {
  constexpr size_t kAhead = 3;
  std::atomic<size_t> takenSoFar{0};
  std::atomic<size_t> furthest{0};  // the most items past the next to be taken that were begun
  inOrder<size_t>(
      60, 2, kAhead,
      [&](size_t item) {
        const size_t past = item - takenSoFar.load();
        size_t seen = furthest.load();
        while (past > seen && !furthest.compare_exchange_weak(seen, past)) {
        }
        return item;
      },
      [&](size_t) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        ++takenSoFar;
        return true;
      });
  EXPECT_EQ(takenSoFar.load(), 60u);
  EXPECT_LT(furthest.load(), kAhead);
  EXPECT_GE(furthest.load(), 1u);  // the workers did get ahead
}

TEST(InOrderTest, ATakerThatStopsEndsTheRunWithoutTakingMore) {
  for (const unsigned workers : {1u, 2u}) {
    std::atomic<size_t> made{0};
    std::vector<size_t> taken;
    inOrder<size_t>(
        1000, workers, 4,
        [&](size_t item) {
          ++made;
          return item;
        },
        [&](size_t item) {
          taken.push_back(item);
          return item < 9;
        });
    EXPECT_EQ(taken, (std::vector<size_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9})) << workers << " workers";
    // Nothing is begun past the window after the item that stopped it.
    EXPECT_LE(made.load(), 10u + 4u) << workers << " workers";
  }
}

TEST(InOrderTest, OneWorkerMakesAndTakesOnTheCallingThreadInTurn) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::string> events;
  inOrder<int>(
      3, 1, 8,
      [&](size_t item) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        events.push_back("make " + std::to_string(item));
        return static_cast<int>(item);
      },
      [&](int item) {
        events.push_back("take " + std::to_string(item));
        return true;
      });
  EXPECT_EQ(events, (std::vector<std::string>{"make 0", "take 0", "make 1", "take 1", "make 2", "take 2"}));
}

TEST(InOrderTest, SeveralWorkersMakeOnThreadsOfTheirOwnAndTakeOnTheCaller) {
  const std::thread::id caller = std::this_thread::get_id();
  std::atomic<int> madeOnCaller{0};
  int takenElsewhere = 0;
  inOrder<int>(
      20, 2, 4,
      [&](size_t item) {
        if (std::this_thread::get_id() == caller) ++madeOnCaller;
        return static_cast<int>(item);
      },
      [&](int) {
        if (std::this_thread::get_id() != caller) ++takenElsewhere;
        return true;
      });
  EXPECT_EQ(madeOnCaller.load(), 0);
  EXPECT_EQ(takenElsewhere, 0);
}

}  // namespace
}  // namespace frame_analysis
