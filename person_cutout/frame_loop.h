// The frame loop of `matte`: segment every frame, measure its mask, draw the mask stretched to
// the cut-out's size and append it under a time that always rises.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "person_cutout/mask_statistics.h"
#include "person_cutout/matte_run.h"
#include "platform/media/media_time.h"
#include "platform/media/pixel_buffer.h"
#include "platform/result.h"

namespace person_cutout {

// What the frame loop counts, for the finishing and the summary.
struct FrameTally {
  int64_t frames = 0;        // frames appended to the cut-out
  int64_t personFrames = 0;  // frames whose coverage was above 0.02
  double covered = 0;        // the sum of the frames' coverage
  std::vector<double> tops;  // the top row of the person, one per person frame that has one
  platform::media::MediaTime last = platform::media::kMediaTimeZero;  // the time the last frame was appended under
  bool readFailed = false;                        // reading stopped on a failure, not at the end of the video
  std::chrono::steady_clock::time_point started;  // just before the first frame was read
};

// The time to write a frame under: the first frame (`written` 0) keeps its own time; a later
// frame keeps its own if that is after `last`, and otherwise comes 1/600 s after `last`.
platform::media::MediaTime writeTime(int64_t written, platform::media::MediaTime sampleTime,
                                     platform::media::MediaTime last);

// Runs the loop from the first frame the run's reader gives to its last: starts `tally` afresh
// (its `started` now), then for every frame with a picture segments it with the run's segmenter,
// adds its mask to `covered`, `personFrames` and `tops`, draws the mask into a frame from the
// writer's pool and appends it; notes progress every 15 frames. Samples without a picture are
// skipped without a trace. A read that fails ends the loop like the end of the video, with
// `readFailed` set for the finishing to report. Fails on the first frame that cannot be segmented
// or written with the message the one-by-one loop would give, and before the next frame once a
// stop signal came; `tally` then counts the frames written before.
//
// On a machine with more than one processor for the process, reading, segmenting and writing run as
// stages on threads of their own (runFramesInStages); on one, frame after frame on the calling
// thread (runFramesOneByOne). Both write the same file, messages and tally.
platform::Result<void> runFrameLoop(MatteRun& run, FrameTally& tally);

// Each frame read, segmented, drawn and written on the calling thread before the next is read.
platform::Result<void> runFramesOneByOne(MatteRun& run, FrameTally& tally);

// One frame's mask on its way to the writer.
struct SegmentedFrame {
  std::shared_ptr<platform::media::PixelBuffer> mask;  // the segmenter's, gray8 with memory
  MaskMeasure measure;
  platform::media::MediaTime sampleTime;  // the time the reader gave the frame
};

// The loop's steps for one frame with a picture, the `number`th (from 0) of the run: segments the
// picture with the run's segmenter at its quality and measures the mask. Uses only the run's
// segmenter, so it may run on another thread than the writing.
platform::Result<SegmentedFrame> segmentFrame(MatteRun& run, const platform::media::PixelBuffer& picture,
                                              platform::media::MediaTime sampleTime, int64_t number);

// The loop's steps for a segmented frame, in frame order: adds its measure to `tally`, draws the
// mask stretched to the cut-out's size into a frame from the writer's pool, waits for the writer,
// appends the frame under its write time, counts it and notes progress.
platform::Result<void> writeFrame(MatteRun& run, FrameTally& tally, const SegmentedFrame& segmented);

// `tally` at its starting values, `started` now.
void startFrameLoop(FrameTally& tally);

}  // namespace person_cutout
