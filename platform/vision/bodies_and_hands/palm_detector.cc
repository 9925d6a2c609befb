#include "platform/vision/bodies_and_hands/palm_detector.h"

#include <numbers>

namespace platform::vision {

Result<std::unique_ptr<PalmDetector>> PalmDetector::load(const std::string& modelFile) {
  SsdDetectorSettings settings;
  settings.modelFile = modelFile;
  settings.anchors = {192, 192, {8, 16, 16, 16}};
  settings.keypointCount = 7;
  settings.low = 0;
  settings.high = 1;
  settings.minScore = 0.5f;
  settings.suppressionThreshold = 0.3;
  Result<std::unique_ptr<SsdDetector>> detector = SsdDetector::load(settings);
  if (!detector) return detector.error();
  return std::unique_ptr<PalmDetector>(new PalmDetector(std::move(detector.value())));
}

RotatedRect handCrop(const Detection& palm) {
  if (palm.keypoints.size() < 3) return {};
  const RotatedRect box{palm.box.xMin + palm.box.width / 2, palm.box.yMin + palm.box.height / 2, palm.box.width,
                        palm.box.height, alignmentRotation(palm.keypoints[0], palm.keypoints[2], std::numbers::pi / 2)};
  return transformRect(box, {2.6, 2.6, 0, -0.5, true});
}

}  // namespace platform::vision
