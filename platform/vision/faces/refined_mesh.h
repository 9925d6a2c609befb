// The attention face mesh's outputs put together as one list of 478 points: the 468 points of the
// plain mesh, those around the lips and eyes moved to where the model's closer looks at them
// place them, then five points on each iris (its centre, then its edge).
#pragma once

#include <vector>

#include "platform/vision/detection/rotated_rect.h"
#include "platform/vision/faces/procrustes.h"

namespace platform::vision {

inline constexpr int kRefinedMeshPointCount = 478;
inline constexpr int kRightIrisCentre = 468;  // the person's own right eye (on the picture's left)
inline constexpr int kLeftIrisCentre = 473;

// The model's raw outputs, in the pixels of its kFaceMeshInputSize square input. It names the
// eyes as the picture shows them: its left eye is the person's right.
struct AttentionMeshOutputs {
  const float* mesh;       // 468 points of x, y, z
  const float* lips;       // 80 points of x, y
  const float* rightEye;   // 71 points of x, y around the person's right eye and eyebrow
  const float* leftEye;    // 71 points
  const float* rightIris;  // 5 points of x, y: the centre, then the edge
  const float* leftIris;   // 5 points
};

// Mesh point indices that the lips' and eyes' outputs move, in the order the model gives them.
extern const std::vector<int> kRefinedLipPoints;       // 80 points
extern const std::vector<int> kRefinedRightEyePoints;  // 71 points
extern const std::vector<int> kRefinedLeftEyePoints;   // 71 points

// The kRefinedMeshPointCount points in the picture's pixels (as meshInPicture gives them) of a
// model run on `crop`. The moved points keep the mesh's depth; an iris takes the mean depth of its
// eye's opening.
std::vector<Vec3> refinedMeshInPicture(const AttentionMeshOutputs& raw, const RotatedRect& crop);

}  // namespace platform::vision
