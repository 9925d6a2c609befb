// The platform's person segmentation: MediaPipe's selfie segmentation models behind the three
// qualities of PersonSegmenter, with the settings that tell them apart.
#pragma once

#include <memory>

#include "platform/vision/segmentation/guided_filter.h"
#include "platform/vision/segmentation/person_segmenter.h"

namespace platform::vision {

// What the qualities do:
// - fast: the landscape model (256 x 144) on the whole frame; the mask is its grid.
// - balanced: the general model (256 x 256); the mask is its grid.
// - accurate: the general model, steadied from frame to frame (MaskSteadier), then refined
//   against the frame's edges by the guided filter on the frame brought down to at most
//   `refinedLongerSide` pixels on its longer side (never enlarged); the mask has that size and
//   the frame's proportions.
// The defaults are the platform's, chosen with bench/segmentation_bench (bench/README.md).
struct SelfieSegmenterSettings {
  int refinedLongerSide = 512;
  GuidedFilterSettings refinement;
  float carry = 0.7f;  // MaskSteadier's share of the last frame where the new one is unsure
};

// A segmenter for one sequence of frames with these settings. Models load once per process.
std::unique_ptr<PersonSegmenter> makeSelfieSegmenter(const SelfieSegmenterSettings& settings = {});

}  // namespace platform::vision
