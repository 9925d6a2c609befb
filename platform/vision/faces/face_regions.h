// The nine facial feature regions picked from the 478 points of the refined face mesh
// (refined_mesh.h). The eyes, eyebrows and lips take the refined points: on the sample pictures
// they lie a third to a half as far from the model publisher's own refined mesh as the plain
// mesh's points do.
//
// Each region is a fixed list of mesh points in a fixed order. Left and right are the person's
// own (the person's left eye appears on the right of an upright, unmirrored picture). Closed
// contours (eyes, eyebrows, lips, nose) run clockwise as the picture shows an upright face: the
// eyes, eyebrows and lips start at their leftmost point in the picture and run along the top edge
// to the right, then back along the bottom edge; the nose starts at the top of its bridge, runs
// down its right side in the picture, along its base and up the other side. A pupil is one point:
// the centre of its iris, which follows the person's gaze within the eye opening.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "platform/vision/faces/refined_mesh.h"
#include "platform/vision/geometry.h"
#include "platform/vision/observations.h"

namespace platform::vision {

// The points of the plain mesh; the refined mesh adds the irises after them.
inline constexpr int kFaceMeshPointCount = 468;

// Mesh point indices of each contour, in the order the region lists them.
extern const std::vector<int> kRightEyeContour;      // 16 points
extern const std::vector<int> kLeftEyeContour;       // 16 points
extern const std::vector<int> kRightEyebrowContour;  // 10 points: upper edge, then lower edge
extern const std::vector<int> kLeftEyebrowContour;   // 10 points
extern const std::vector<int> kOuterLipsContour;     // 20 points
extern const std::vector<int> kInnerLipsContour;     // 20 points
extern const std::vector<int> kNoseContour;          // 24 points

// The regions of a face whose mesh points `mesh` (kRefinedMeshPointCount of them) are given in the
// picture's normalised frame (origin bottom-left, y up), each point expressed relative to `box`
// ((0, 0) its bottom-left, (1, 1) its top-right corner). Nothing when the mesh has the wrong
// number of points or the box has no area.
std::optional<FaceLandmarks> faceRegions(std::span<const Point> mesh, const NormalizedRect& box);

}  // namespace platform::vision
