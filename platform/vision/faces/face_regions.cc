#include "platform/vision/faces/face_regions.h"

namespace platform::vision {

const std::vector<int> kRightEyeContour = {33, 246, 161, 160, 159, 158, 157, 173, 133, 155, 154, 153, 145, 144, 163, 7};
const std::vector<int> kLeftEyeContour = {362, 398, 384, 385, 386, 387, 388, 466,
                                          263, 249, 390, 373, 374, 380, 381, 382};
const std::vector<int> kRightEyebrowContour = {70, 63, 105, 66, 107, 55, 65, 52, 53, 46};
const std::vector<int> kLeftEyebrowContour = {336, 296, 334, 293, 300, 276, 283, 282, 295, 285};
const std::vector<int> kOuterLipsContour = {61,  185, 40,  39,  37,  0,  267, 269, 270, 409,
                                            291, 375, 321, 405, 314, 17, 84,  181, 91,  146};
const std::vector<int> kInnerLipsContour = {78,  191, 80,  81,  82,  13, 312, 311, 310, 415,
                                            308, 324, 318, 402, 317, 14, 87,  178, 88,  95};
const std::vector<int> kNoseContour = {168, 417, 412, 399, 437, 420, 429, 279, 278, 294, 327, 326,
                                       2,   97,  98,  64,  48,  49,  209, 198, 217, 174, 188, 193};

namespace {

Point relativeTo(const Point& p, const NormalizedRect& box) {
  return {(p.x - box.x) / box.width, (p.y - box.y) / box.height};
}

LandmarkRegion contour(std::span<const Point> mesh, const std::vector<int>& indices, const NormalizedRect& box) {
  LandmarkRegion region;
  for (const int index : indices) region.normalizedPoints.push_back(relativeTo(mesh[index], box));
  return region;
}

LandmarkRegion single(std::span<const Point> mesh, int index, const NormalizedRect& box) {
  return LandmarkRegion{{relativeTo(mesh[index], box)}};
}

}  // namespace

std::optional<FaceLandmarks> faceRegions(std::span<const Point> mesh, const NormalizedRect& box) {
  if (mesh.size() != kRefinedMeshPointCount || !(box.width > 0) || !(box.height > 0)) return std::nullopt;
  FaceLandmarks landmarks;
  landmarks.leftEye = contour(mesh, kLeftEyeContour, box);
  landmarks.rightEye = contour(mesh, kRightEyeContour, box);
  landmarks.leftPupil = single(mesh, kLeftIrisCentre, box);
  landmarks.rightPupil = single(mesh, kRightIrisCentre, box);
  landmarks.leftEyebrow = contour(mesh, kLeftEyebrowContour, box);
  landmarks.rightEyebrow = contour(mesh, kRightEyebrowContour, box);
  landmarks.outerLips = contour(mesh, kOuterLipsContour, box);
  landmarks.innerLips = contour(mesh, kInnerLipsContour, box);
  landmarks.nose = contour(mesh, kNoseContour, box);
  return landmarks;
}

}  // namespace platform::vision
