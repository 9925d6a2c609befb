// Opening the video, sizing the cut-out and preparing the writer and the segmentation, in the
// order a run takes them. Each step sets its part of the run or fails.
#pragma once

#include "person_cutout/matte_run.h"
#include "platform/result.h"

namespace person_cutout {

// Opens the run's `source`, takes its first video track and starts reading it as BGRA frames,
// turned upright when its display matrix says so: sets `asset`, `track`, `shown` and `reader`.
// Fails: "this file has no picture" (no video track can be listed: none in the file, or contents
// no container reader recognises), "the video could not be opened", "the video could not be read".
platform::Result<void> openVideo(MatteRun& run);

// Sets `width` and `height` from `shown`.
void sizeCutOut(MatteRun& run);

// Creates the cut-out file at `target` (never over an existing entry) and starts its H.264
// writer: `width` x `height`, 1.8 Mbit/s, a key frame at least every 12 frames, no reordering,
// the input track's time scale, and its frame rate for the level. Fails: "the output file
// already exists" (something took the path since the check), "the cut-out could not be
// written", "...: " + reason.
platform::Result<void> prepareWriter(MatteRun& run);

// Sets `segmenter` to the platform's person segmentation, new for this sequence of frames.
void prepareSegmentation(MatteRun& run);

// Sets `expected` from the asset's duration and the track's frame rate.
void countExpectedFrames(MatteRun& run);

}  // namespace person_cutout
