// Head angles from the face mesh: the mesh is fitted to the canonical face through a camera with a
// vertical field of view of 63 degrees, and the fitted rotation is split into yaw, pitch and roll.
#pragma once

#include <optional>
#include <span>

#include "platform/vision/faces/canonical_face.h"
#include "platform/vision/faces/procrustes.h"

namespace platform::vision {

// Angles in radians, each within [-pi, pi]; 0, 0, 0 for a face looking straight into the camera.
//   yaw:   positive when the person turns their head to their own left (the face turns towards
//          the right of the picture); a picture mirrored left to right negates it.
//   pitch: positive when the person raises their chin and looks up.
//   roll:  positive when the head leans towards the person's own right shoulder, which turns the
//          face counter-clockwise as the picture shows it; a picture turned 90 degrees
//          counter-clockwise adds 90 degrees, a mirrored one negates it.
struct HeadAngles {
  double yaw = 0;
  double pitch = 0;
  double roll = 0;
};

// Splits `rotation` (from the canonical face's axes to the camera's: x right, y up, z towards the
// viewer) as Rz(roll) * Ry(yaw) * Rx(-pitch): the head pitches about its own ear-to-ear axis,
// turns about its vertical axis, and the whole turns in the picture plane.
HeadAngles anglesFromRotation(const Matrix3& rotation);

// The head angles of a face whose mesh points (one per canonical vertex) are given in the
// picture's pixels: x to the right, y down, and z the depth in the same units as x, larger
// further from the camera, relative to the face. Nothing when the fit has no answer (too few
// points, a mesh squeezed to a point or line, a picture without area).
std::optional<HeadAngles> headAngles(std::span<const Vec3> mesh, int pictureWidth, int pictureHeight,
                                     const CanonicalFace& canonical);

}  // namespace platform::vision
