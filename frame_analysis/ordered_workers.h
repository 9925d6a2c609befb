// Work on numbered items spread over worker threads, its results taken in order of number.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace frame_analysis {

// Makes the result of every item 0, 1, ... count - 1 with `make(i)` and hands the results, in
// order of i, to `take(result)` on the calling thread, which gives false to end the run early
// (items begun by then are finished, their results dropped).
//
// With one worker, each item is made and taken on the calling thread before the next is begun.
// With more, `workers` threads each make whole items, taking the lowest item not yet begun; a
// worker waits rather than begin an item `ahead` or more past the one the caller takes next, so
// at most `ahead` results are held at once however far the caller falls behind. `make` must be
// safe to call from several threads at once; `take` runs on the calling thread alone. Workers
// that cannot be started leave their share to the others, or to the calling thread.
template <typename Result, typename Make, typename Take>
void inOrder(size_t count, unsigned workers, size_t ahead, Make make, Take take) {
  if (ahead < 1) ahead = 1;
  std::mutex lock;
  std::condition_variable changed;
  size_t begun = 0;  // items handed to workers so far
  size_t taken = 0;  // items handed to `take` so far
  bool stop = false;
  std::vector<std::optional<Result>> made(ahead);  // item i waits in made[i % ahead]

  auto work = [&] {
    for (;;) {
      size_t item = 0;
      {
        std::unique_lock<std::mutex> held(lock);
        changed.wait(held, [&] { return stop || begun >= count || begun < taken + ahead; });
        if (stop || begun >= count) return;
        item = begun++;
      }
      Result result = make(item);
      {
        std::lock_guard<std::mutex> held(lock);
        made[item % ahead] = std::move(result);
      }
      changed.notify_all();
    }
  };

  std::vector<std::thread> threads;
  if (workers > 1) {
    for (unsigned i = 0; i < workers; ++i) {
      try {
        threads.emplace_back(work);
      } catch (const std::system_error&) {
        break;  // the threads that did start share the work
      }
    }
  }
  if (threads.empty()) {
    for (size_t i = 0; i < count; ++i) {
      if (!take(make(i))) return;
    }
    return;
  }

  for (size_t i = 0; i < count; ++i) {
    std::optional<Result> result;
    {
      std::unique_lock<std::mutex> held(lock);
      changed.wait(held, [&] { return made[i % ahead].has_value(); });
      result = std::move(*made[i % ahead]);
      made[i % ahead].reset();
    }
    const bool goOn = take(std::move(*result));
    {
      std::lock_guard<std::mutex> held(lock);
      taken = i + 1;
      stop = !goOn;
    }
    changed.notify_all();
    if (!goOn) break;
  }
  for (std::thread& thread : threads) thread.join();
}

}  // namespace frame_analysis
