// The face detector: the full-range BlazeFace model run as an SSD detector.
#pragma once

#include "platform/vision/detection/ssd_detector.h"

namespace platform::vision {

// The full-range BlazeFace detector (faces near and far, within about 5 m) with its published
// settings: a 192 x 192 input in [-1, 1], one anchor per cell of a 48 x 48 grid, six keypoints
// (the person's right eye, left eye, nose tip, mouth centre, right and left ear tragion), score
// 0.6, detections merged above IoU 0.3. Its sparse weights, the ones the publisher's own face
// pipeline runs (our scores and boxes agree with that pipeline's on the sample photos): the dense
// weights score faces in groups lower, and left a woman's face tilted down at 0.48. The
// short-range model (2 m) found no face on the sample photos that this one missed, so it is not
// used.
SsdDetectorSettings faceDetectorSettings();

}  // namespace platform::vision
