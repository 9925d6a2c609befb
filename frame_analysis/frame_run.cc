#include "frame_analysis/frame_run.h"

#include <sched.h>

#include <algorithm>
#include <thread>

#include "frame_analysis/frame_record.h"
#include "frame_analysis/ordered_workers.h"

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

bool analyseFrames(const VisionRun& run, unsigned workers) {
  bool written = true;
  inOrder<FrameReport>(
      run.files.size(), workers, kReportsAheadPerWorker * workers,
      [&run](size_t i) { return analyse(run.files[i], static_cast<int64_t>(i), run.fps, run.analysis); },
      [&written](FrameReport report) {
        // A line that standard output refused ends the run: the frames after it would be lost too.
        written = static_cast<bool>(writeReport(report));
        return written;
      });
  return written;
}

}  // namespace frame_analysis
