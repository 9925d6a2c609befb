// Finishing the cut-out and the one summary line of a successful run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace person_cutout {

// `value` in fixed-point notation with `digits` digits after the point, rounded as printf's "%.Nf"
// rounds, with a point whatever the locale.
std::string fixedPoint(double value, int digits);

// The typical top: sorts `tops` ascending and takes the element at index count / 2 (the median of
// an odd count, the upper middle of an even one); 0 when there are none.
double typicalTop(std::vector<double>& tops);

// {"frames": F, "width": W, "height": H, "seconds": S.SS, "person_frames": P, "coverage": C.CCCC,
//  "top": T.TTTT, "aspect": A.AAAA} on one line, without the line feed; coverage is
// covered / frames and aspect width / height.
std::string summaryRecord(int64_t frames, int64_t width, int64_t height, double seconds, int64_t personFrames,
                          double covered, double top);

// After the loop: fails when reading broke off or no frame was written, finishes the cut-out and
// waits for the writer, fails when it did not complete the file, then sets `seconds`, sorts
// `tops` and sets `top`.
platform::Result<void> finishCutOut();

// Writes the summary record and a line feed to standard output; fails when it cannot be
// delivered.
platform::Result<void> printSummary();

}  // namespace person_cutout
