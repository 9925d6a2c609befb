// Keeping one detection per object when a detector reports the same object several times.
// Plain functions of their arguments: safe to call from any thread.
#pragma once

#include <vector>

#include "platform/vision/detection/detection_decoding.h"

namespace platform::vision {

// Area of the intersection over area of the union; 0 when either box is empty.
double intersectionOverUnion(const DetectionBox& a, const DetectionBox& b);

// Weighted non-maximum suppression: takes the best remaining detection, gathers every remaining
// detection that overlaps it by more than `iouThreshold` (itself included), and replaces the group
// by one detection whose box edges and keypoints are the score-weighted means of the group's and
// whose score is the best one's. Repeats until none remain. Best first. All detections must carry
// the same number of keypoints (those of one detector do).
std::vector<Detection> weightedNonMaxSuppression(std::vector<Detection> detections, double iouThreshold);

}  // namespace platform::vision
