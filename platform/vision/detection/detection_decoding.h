// Raw outputs of an SSD-style detector (box and keypoint offsets per anchor, one score logit per
// anchor) turned into scored detections.
// Plain functions of their arguments: safe to call from any thread, they never fail and never
// read past the spans they are given.
#pragma once

#include <span>
#include <vector>

#include "platform/vision/detection/ssd_anchors.h"
#include "platform/vision/image_point.h"

namespace platform::vision {

// An upright box, origin top-left, y down, in the unit of the points it goes with.
struct DetectionBox {
  double xMin = 0;
  double yMin = 0;
  double width = 0;
  double height = 0;

  double xMax() const { return xMin + width; }
  double yMax() const { return yMin + height; }
  double area() const { return width > 0 && height > 0 ? width * height : 0; }
};

struct Detection {
  float score = 0;  // 0 to 1
  DetectionBox box;
  std::vector<ImagePoint> keypoints;  // in the detector's own order
};

struct DetectionDecoding {
  // The raw values are in pixels of the detector input: dividing by these gives fractions.
  double inputWidth = 1;
  double inputHeight = 1;
  int keypointCount = 0;
  // Anchors whose score is below this are dropped.
  float minScore = 0.5f;
};

// The score of a raw logit (detection scores, landmark visibilities): the sigmoid of the logit clipped to [-100, 100].
// Not a number stays not a number, so callers can refuse it.
float scoreFromLogit(float logit);

// One detection per anchor whose score reaches `minScore`, in anchor order. Each anchor i owns the
// values rawBoxes[i * (4 + 2 * keypointCount) ...]: x-centre, y-centre, width, height, then an
// (x, y) pair per keypoint, all in input pixels relative to the anchor's centre (sizes relative to
// an anchor of size 1). Boxes and keypoints come out as fractions of the detector input, origin
// top-left. Rows beyond what `rawBoxes`, `rawScores` or `anchors` hold are not read; a row with a
// value that is not finite is dropped.
std::vector<Detection> decodeDetections(std::span<const float> rawBoxes, std::span<const float> rawScores,
                                        std::span<const AnchorCentre> anchors, const DetectionDecoding& decoding);

}  // namespace platform::vision
