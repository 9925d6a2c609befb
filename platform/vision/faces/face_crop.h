// Where the face mesh model looks, and how its output maps back to the picture.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "platform/vision/detection/detection_decoding.h"
#include "platform/vision/detection/image_to_tensor.h"
#include "platform/vision/detection/rotated_rect.h"
#include "platform/vision/faces/procrustes.h"

namespace platform::vision {

// The face mesh model's square input, in pixels.
inline constexpr int kFaceMeshInputSize = 192;

// The crop the face mesh model expects for a face detection given in picture pixels (origin
// top-left) with the detector's keypoints (0: the person's right eye, 1: their left eye): centred
// on the detection box, turned so that the eyes are level, made square on the box's longer side,
// then 1.5 times as large. The detection must have at least two keypoints.
RotatedRect faceMeshCrop(const Detection& face);

// The detector's eye keypoints give the crop's rotation only roughly; on a face turned far in
// the picture plane the mesh's own eye corners give it better. When those corners (points 33 and
// 263) tilt from the crop's level by more than `tolerance` radians, the same crop turned to level
// them; otherwise nothing. `mesh` holds the mesh points in picture pixels.
std::optional<RotatedRect> levelledCrop(const RotatedRect& crop, std::span<const Vec3> mesh, double tolerance = 0.1);

// The crop the face mesh model expects around a mesh it has found (`mesh` in picture pixels, at
// least 264 points): centred on the points' upright box, turned so that the eye corners (points 33
// and 263) are level, made square on the box's longer side, then 1.5 times as large. Where a
// detector's box sits badly on a face (a head turned aside, a box drawn round the whole head) the
// mesh still lands near the face, and this crop frames it as the model was trained. Nothing with
// too few points or a point that is not a number.
std::optional<RotatedRect> faceMeshCropAround(std::span<const Vec3> mesh);

// The mesh points in the picture's pixels (x right, y down, z the depth relative to the face, in
// the same units as x, larger further away) from the model's raw output: `pointCount` rows of x,
// y, z in the pixels of its kFaceMeshInputSize square input cut from the picture at `crop`.
std::vector<Vec3> meshInPicture(const float* raw, int pointCount, const RotatedRect& crop);

}  // namespace platform::vision
