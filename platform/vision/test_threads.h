// For the services' tests: the same work on two threads that start at the same moment, to show
// that a service gives each of two concurrent callers what it gives one caller alone.
#pragma once

#include <array>
#include <latch>
#include <thread>
#include <utility>

namespace platform::vision::testing {

// What `work(0)` and `work(1)` returned, each run on a thread of its own; both threads are
// released together once both have started.
template <typename Work>
auto onTwoThreadsAtOnce(const Work& work) {
  using Outcome = decltype(work(0));
  std::array<Outcome, 2> outcomes;
  std::latch start(2);
  const auto run = [&](int index) {
    start.arrive_and_wait();
    outcomes[index] = work(index);
  };
  std::thread other(run, 1);
  run(0);
  other.join();
  return outcomes;
}

}  // namespace platform::vision::testing
