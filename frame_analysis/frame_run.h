// The loop of `vision` over its frames: every frame analysed, every report written in frame order.
#pragma once

#include "frame_analysis/vision_run.h"

namespace frame_analysis {

// The number of workers that analyse frames: one per processor the calling thread may run on (its
// affinity, so `taskset -c 0 vision ...` runs on one), at most kMostFrameWorkers. Every worker
// has runtimes of every model of its own (about 170 MB in full mode, 35 MB faces only), so more
// workers would buy speed with much more memory.
inline constexpr unsigned kMostFrameWorkers = 2;
unsigned frameWorkers();

// Analyses every frame of `run.files` (its index is its position there) and writes each report,
// strictly in the order of the files. One worker analyses and writes each frame on the calling
// thread before the next is begun; more analyse whole frames at once on threads of their own
// while the calling thread writes, holding at most a few reports ahead of the one it writes next,
// so memory does not grow with the number of frames. The output is the same byte for byte
// whatever the number of workers. Gives false, after stopping the workers, when standard output
// refuses a line.
bool analyseFrames(const VisionRun& run, unsigned workers);

}  // namespace frame_analysis
