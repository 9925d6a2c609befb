// The frame loop of `matte`: segment every frame, measure its mask, draw the mask stretched to
// the cut-out's size and append it under a time that always rises.
#pragma once

#include <cstdint>
#include <memory>

#include "person_cutout/mask_statistics.h"
#include "platform/media/media_time.h"
#include "platform/media/pixel_buffer.h"
#include "platform/result.h"

namespace person_cutout {

// The time to write a frame under: the first frame (`written` 0) keeps its own time; a later
// frame keeps its own if that is after `last`, and otherwise comes 1/600 s after `last`.
platform::media::MediaTime writeTime(int64_t written, platform::media::MediaTime sampleTime,
                                     platform::media::MediaTime last);

// Runs the loop from the first frame the reader gives to its last: sets the loop's counters to
// their starting values and `started`, then for every frame with a picture segments it with
// `request` through `vision`, adds its mask to `covered`, `personFrames` and `tops`, draws the
// mask into a frame from the writer's pool and appends it; notes progress every 15 frames.
// Samples without a picture are skipped without a trace. A read that fails ends the loop like
// the end of the video, with `readFailed` set for the finishing to report. Fails on the first
// frame that cannot be segmented or written with the message the one-by-one loop would give, and
// before the next frame once a stop signal came.
//
// On a machine with more than one processor for the process, reading, drawing and writing run as
// stages on threads of their own (runFramesInStages); on one, frame after frame on the calling
// thread (runFramesOneByOne). Both write the same file, messages and statistics.
platform::Result<void> runFrameLoop();

// Each frame read, segmented, drawn and written on the calling thread before the next is read.
platform::Result<void> runFramesOneByOne();

// One frame's drawn mask on its way to the writer.
struct DrawnFrame {
  std::shared_ptr<platform::media::PixelBuffer> frame;  // from the writer's pool, the mask drawn in
  MaskMeasure measure;
  platform::media::MediaTime sampleTime;  // the time the reader gave the frame
};

// The loop's steps for one frame with a picture, the `number`th (from 0) of the run: segments the
// picture through `vision`, measures the mask and draws it into a frame from the writer's pool.
// Touches no run state but the segmentation's (`vision`, `request`, `context`), so it may run on
// another thread than the writing.
platform::Result<DrawnFrame> drawFrame(const platform::media::PixelBuffer& picture,
                                       platform::media::MediaTime sampleTime, int64_t number);

// The loop's steps for a drawn frame, in frame order: adds its measure to the statistics, waits
// for the writer, appends the frame under its write time, counts it and notes progress.
platform::Result<void> writeFrame(const DrawnFrame& drawn);

// Sets the loop's counters to their starting values and `started` to now.
void startFrameLoop();

}  // namespace person_cutout
