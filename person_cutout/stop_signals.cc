#include "person_cutout/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "person_cutout/messages.h"

namespace person_cutout {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The signal that asked the run to stop, 0 until one comes. The one variable of `matte` outside
// its run value: a signal handler cannot be handed a run, it can only reach a global. Lock-free,
// so the handler may store into it.
std::atomic<int> noted{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void noteSignal(int signal) { noted.store(signal, std::memory_order_relaxed); }

}  // namespace

void catchStopSignals() {
  for (const int signal : kStopSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction catching {};
    catching.sa_handler = noteSignal;
    sigemptyset(&catching.sa_mask);
    catching.sa_flags = SA_RESTART;  // reads and writes in progress go on; the run stops between steps
    sigaction(signal, &catching, nullptr);
  }
}

int stopSignal() { return noted.load(std::memory_order_relaxed); }

platform::Result<void> unlessStopped() {
  if (const int signal = stopSignal(); signal != 0) return failure(std::string(kStopped) + signalName(signal));
  return {};
}

std::string signalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "signal " + std::to_string(signal);
  }
}

void endBySignal(int signal) {
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  sigaction(signal, &standard, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached: the default action of the stop signals ends the process
}

}  // namespace person_cutout
