#include "platform/vision/faces/refined_mesh.h"

#include "platform/vision/faces/face_crop.h"
#include "platform/vision/faces/face_regions.h"

namespace platform::vision {

// The model publisher's mapping of each refined output onto the mesh (the same points its crops
// are placed around): for the lips, the outer, then inner, then two rings between; for each eye, its
// opening, then rings further out to the eyebrow.
const std::vector<int> kRefinedLipPoints = {
    61, 146, 91, 181, 84, 17, 314, 405, 321, 375, 291, 185, 40, 39, 37, 0,  267, 269, 270, 409,
    78, 95,  88, 178, 87, 14, 317, 402, 318, 324, 308, 191, 80, 81, 82, 13, 312, 311, 310, 415,
    76, 77,  90, 180, 85, 16, 315, 404, 320, 307, 306, 184, 74, 73, 72, 11, 302, 303, 304, 408,
    62, 96,  89, 179, 86, 15, 316, 403, 319, 325, 292, 183, 42, 41, 38, 12, 268, 271, 272, 407};
const std::vector<int> kRefinedRightEyePoints = {
    33,  7,   163, 144, 145, 153, 154, 155, 133, 246, 161, 160, 159, 158, 157, 173, 130, 25,
    110, 24,  23,  22,  26,  112, 243, 247, 30,  29,  27,  28,  56,  190, 226, 31,  228, 229,
    230, 231, 232, 233, 244, 113, 225, 224, 223, 222, 221, 189, 35,  124, 46,  53,  52,  65,
    143, 111, 117, 118, 119, 120, 121, 128, 245, 156, 70,  63,  105, 66,  107, 55,  193};
const std::vector<int> kRefinedLeftEyePoints = {
    263, 249, 390, 373, 374, 380, 381, 382, 362, 466, 388, 387, 386, 385, 384, 398, 359, 255,
    339, 254, 253, 252, 256, 341, 463, 467, 260, 259, 257, 258, 286, 414, 446, 261, 448, 449,
    450, 451, 452, 453, 464, 342, 445, 444, 443, 442, 441, 413, 265, 353, 276, 283, 282, 295,
    372, 340, 346, 347, 348, 349, 350, 357, 465, 383, 300, 293, 334, 296, 336, 285, 417};

namespace {

constexpr int kIrisPointCount = 5;

void movePoints(std::vector<Vec3>& points, const std::vector<int>& indices, const float* raw, const RotatedRect& crop) {
  const double size = kFaceMeshInputSize;
  for (size_t i = 0; i < indices.size(); ++i) {
    const PicturePoint at = pictureFromTensor(crop, raw[2 * i] / size, raw[2 * i + 1] / size);
    points[indices[i]].x = at.x;
    points[indices[i]].y = at.y;
  }
}

// The iris sits in its eye's opening: the first 16 refined eye points.
void addIris(std::vector<Vec3>& points, const float* raw, const std::vector<int>& eye, const RotatedRect& crop) {
  constexpr size_t kOpening = 16;
  double depth = 0;
  for (size_t i = 0; i < kOpening; ++i) depth += points[eye[i]].z;
  depth /= kOpening;
  const double size = kFaceMeshInputSize;
  for (int i = 0; i < kIrisPointCount; ++i) {
    const PicturePoint at = pictureFromTensor(crop, raw[2 * i] / size, raw[2 * i + 1] / size);
    points.push_back({at.x, at.y, depth});
  }
}

}  // namespace

std::vector<Vec3> refinedMeshInPicture(const AttentionMeshOutputs& raw, const RotatedRect& crop) {
  std::vector<Vec3> points = meshInPicture(raw.mesh, kFaceMeshPointCount, crop);
  points.reserve(kRefinedMeshPointCount);
  movePoints(points, kRefinedLipPoints, raw.lips, crop);
  movePoints(points, kRefinedRightEyePoints, raw.rightEye, crop);
  movePoints(points, kRefinedLeftEyePoints, raw.leftEye, crop);
  addIris(points, raw.rightIris, kRefinedRightEyePoints, crop);
  addIris(points, raw.leftIris, kRefinedLeftEyePoints, crop);
  return points;
}

}  // namespace platform::vision
