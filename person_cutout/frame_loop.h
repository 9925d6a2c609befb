// The frame loop of `matte`: segment every frame, measure its mask, draw the mask stretched to
// the cut-out's size and append it under a time that always rises.
#pragma once

#include <cstdint>

#include "platform/media/media_time.h"
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
// frame that cannot be segmented or written, and before the next frame once a stop signal came.
platform::Result<void> runFrameLoop();

}  // namespace person_cutout
