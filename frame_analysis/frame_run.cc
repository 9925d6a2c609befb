#include "frame_analysis/frame_run.h"

#include <sched.h>

#include <algorithm>
#include <thread>

#include "frame_analysis/frame_record.h"
#include "frame_analysis/ordered_workers.h"
#include "frame_analysis/run_state.h"

namespace frame_analysis {
namespace {

// Reports that may wait for their turn, per worker: enough for a worker that got ahead to keep
// going while the other is held up for a frame or two by a busy processor, and small in memory.
constexpr size_t kReportsAheadPerWorker = 8;

}  // namespace

unsigned frameWorkers() {
  unsigned cores = 0;
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) cores = static_cast<unsigned>(CPU_COUNT(&allowed));
  if (cores == 0) cores = std::thread::hardware_concurrency();
  return std::clamp(cores, 1u, kMostFrameWorkers);
}

void analyseFrames(double fps, unsigned workers) {
  inOrder<FrameReport>(
      files.size(), workers, kReportsAheadPerWorker * workers,
      [fps](size_t i) { return analyse(files[i], static_cast<int64_t>(i), fps); },
      [](FrameReport report) {
        writeReport(report);
        return true;
      });
}

}  // namespace frame_analysis
