// The canonical face that head angles are measured against: the face mesh's 468 points on an
// average face, in centimetres (x towards the person's left, which is the viewer's right; y up;
// z out of the face towards the viewer), and the weights of the points that move with the head
// rather than with expressions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"
#include "platform/vision/faces/procrustes.h"

namespace platform::vision {

struct CanonicalFace {
  std::vector<Vec3> vertices;   // indexed like the face mesh points
  std::vector<double> weights;  // one per vertex; 0 for points that take no part in the fit
};

// Reads the geometry pipeline metadata (a serialised protocol buffer: a mesh whose vertices hold
// position and texture coordinates, and a list of weighted landmark references). Fails with
// FaceError::modelUnavailable (face_errors.h), naming the reason, on truncated or malformed bytes,
// a mesh whose buffer is not whole vertices, a reference to a vertex that does not exist, a
// coordinate that is not finite, or a weight that is negative or not finite.
Result<CanonicalFace> parseCanonicalFace(std::string_view bytes);

// The same, read from a file; a file that cannot be read fails the same way.
Result<CanonicalFace> loadCanonicalFace(const std::string& path);

}  // namespace platform::vision
