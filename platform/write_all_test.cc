#include "platform/write_all.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

namespace platform {
namespace {

std::atomic<int> alarms = 0;
void countAlarm(int) { ++alarms; }

// Reads `fd` to its end, slowly, so that the writer keeps finding the pipe full.
std::string drainSlowly(int fd) {
  std::string got;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return got;
    got.append(chunk, static_cast<size_t>(n));
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

TEST(WriteAll, DeliversEveryByteInOrderThroughSignalsAndShortWrites) {
  std::string block(4 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + i / 4096);

  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  // Only this thread takes the alarms, and its writes are not restarted: a write into the full
  // pipe comes back cut short or with EINTR.
  struct sigaction action {
  }, previous{};
  action.sa_handler = countAlarm;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);
  sigset_t alarmOnly;
  sigemptyset(&alarmOnly);
  sigaddset(&alarmOnly, SIGALRM);
  ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &alarmOnly, nullptr), 0);
  std::string received;
  std::thread reader([&] { received = drainSlowly(pipeEnds[0]); });
  ASSERT_EQ(::pthread_sigmask(SIG_UNBLOCK, &alarmOnly, nullptr), 0);
  const itimerval every{{0, 500}, {0, 500}};
  ASSERT_EQ(::setitimer(ITIMER_REAL, &every, nullptr), 0);

  const std::error_code failed = writeAll(pipeEnds[1], block);

  const itimerval stop{};
  ::setitimer(ITIMER_REAL, &stop, nullptr);
  ::sigaction(SIGALRM, &previous, nullptr);
  ::close(pipeEnds[1]);
  reader.join();
  ::close(pipeEnds[0]);
  EXPECT_FALSE(failed) << failed.message();
  EXPECT_GT(alarms.load(), 0);  // the writes were interrupted
  EXPECT_EQ(received.size(), block.size());
  EXPECT_TRUE(received == block);
}

TEST(WriteAll, ReportsTheErrorOfTheWriteThatFailed) {
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  EXPECT_EQ(writeAll(full, "no room"), std::error_code(ENOSPC, std::generic_category()));
  ::close(full);

  const int closed = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(closed, 0);
  ::close(closed);
  EXPECT_EQ(writeAll(closed, "nowhere"), std::error_code(EBADF, std::generic_category()));

  EXPECT_FALSE(writeAll(-1, ""));  // nothing to write is no write
}

}  // namespace
}  // namespace platform
