// Finding faces in a picture.
//
// Needs the face models fetched by the set-up; they load on first use and stay loaded. Safe to
// call from any number of threads at once: each call runs the models on runtimes of its own, so
// calls on two threads run at the same time. Failures are reported under platform.faces
// (platform/errors.h) with a FaceError code (face_errors.h).
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/faces/face_errors.h"
#include "platform/vision/observations.h"

namespace platform::vision {

// Every face in the picture with its box, most confident first, and with its landmark regions and
// head angles where the mesh model is sure of the face (not on faces of a few dozen pixels). Faces
// are looked for at every size the picture holds, down to about 4% of its shorter side where the
// picture shows a group (face_search.h).
Result<std::vector<FaceObservation>> detectFaceLandmarks(const media::ImageView& image);

// The faces the detector finds in the whole picture at once, with their box and confidence only,
// most confident first: from about 7% of the picture's longer side up. Loads only the face
// detector.
Result<std::vector<FaceObservation>> detectFaceRectangles(const media::ImageView& image);

}  // namespace platform::vision
