// Finishing the cut-out and the one summary line of a successful run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "person_cutout/frame_loop.h"
#include "person_cutout/matte_run.h"
#include "platform/result.h"

namespace person_cutout {

// What the summary line tells of a finished cut-out.
struct Summary {
  int64_t frames = 0;  // frames written
  int64_t width = 0;   // the cut-out's size
  int64_t height = 0;
  double seconds = 0;  // from just before the first frame was read until the writer finished
  int64_t personFrames = 0;
  double covered = 0;  // the sum of the frames' coverage: the line gives its mean
  double top = 0;      // the typical top of the person (typicalTop)
};

// `value` in fixed-point notation with `digits` digits after the point, rounded as printf's "%.Nf"
// rounds, with a point whatever the locale.
std::string fixedPoint(double value, int digits);

// The typical top: sorts `tops` ascending and takes the element at index count / 2 (the median of
// an odd count, the upper middle of an even one); 0 when there are none.
double typicalTop(std::vector<double>& tops);

// {"frames": F, "width": W, "height": H, "seconds": S.SS, "person_frames": P, "coverage": C.CCCC,
//  "top": T.TTTT, "aspect": A.AAAA} on one line, without the line feed; coverage is
// covered / frames and aspect width / height.
std::string summaryRecord(const Summary& summary);

// After the loop: fails when reading broke off or no frame was written, finishes the cut-out and
// waits for the writer, fails when it did not complete the file; otherwise gives the summary
// (sorting `tally.tops` for the typical top).
platform::Result<Summary> finishCutOut(MatteRun& run, FrameTally& tally);

// Writes the summary record and a line feed to standard output; fails when it cannot be
// delivered.
platform::Result<void> printSummary(const Summary& summary);

}  // namespace person_cutout
