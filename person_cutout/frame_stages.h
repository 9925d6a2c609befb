// The frame loop of `matte` as three stages overlapped on the processors.
#pragma once

#include "person_cutout/frame_loop.h"
#include "person_cutout/matte_run.h"
#include "platform/result.h"

namespace person_cutout {

// Runs the frame loop (see runFrameLoop) as three stages, each on a thread of its own, joined by
// queues of a few frames: reading, which decodes the next frames with the run's reader;
// segmenting, which segments each frame in order with the run's segmenter (the sequence stays on
// that one thread) and measures its mask; and writing, on the calling thread, which draws the
// masks and appends the frames in order and keeps `tally` (the encoder works on threads of its
// own, so drawing there keeps the segmenting stage, the longest, to the segmentation alone). The
// file, the messages, the progress lines and the tally are those of runFramesOneByOne: a failure
// is the one of the earliest frame that fails, after every frame before it was written, and the
// stages are stopped and joined before this returns.
platform::Result<void> runFramesInStages(MatteRun& run, FrameTally& tally);

}  // namespace person_cutout
