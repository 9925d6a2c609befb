// Finding the joints of bodies and hands in a picture.
//
// Needs the pose and hand models fetched by the set-up; they load on first use and stay loaded.
// Safe to call from any number of threads at once: each call runs the models on runtimes of its
// own, so calls on two threads run at the same time. Failures are reported under
// platform.pose (platform/errors.h) with a PoseError code.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/errors.h"
#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"

namespace platform::vision {

enum class PoseError : int64_t {
  modelUnavailable = 1,  // a model file is missing, unreadable or not the expected model
  noPixels = 2,          // the picture holds no pixels
  analysisFailed = 3,    // a model could not run on the picture
};

// One observation per person in the picture, each person once. `faces` are those
// detectFaceLandmarks found in the same picture (none: the pose detector alone looks for people).
// The bodies the pose detector finds in the whole picture come first, best first; then, in the
// order of `faces`, the body of each face that no body has its nose on yet, the pose landmark
// model run on the region around that face; then, where two faces or more show a group, those of
// people the detector finds in tiles of the picture whose face was not seen. The landmark model's
// presence score drops regions with no one in them. A joint is placed when the model puts it
// inside the picture; its confidence is how visible the model thinks it is. The neck is the
// midpoint of the shoulders, the root that of the hips, each with the lower of the two
// confidences. Left and right are the person's own.
Result<std::vector<BodyObservation>> detectBodies(const media::ImageView& image,
                                                  std::span<const FaceObservation> faces = {});

// One observation per hand, each hand once, best palm first, `maximumHandCount` at most (none,
// and no failure, when it is 0 or less). Palms are looked for in the whole picture and, closer,
// around each of `bodies` (those detectBodies found in the same picture) that is small in it; the
// most certain are kept. Every placed joint carries the hand's confidence, how sure the model is
// that a hand is there. A joint is placed inside the picture or, where the picture's edge cuts the
// hand, within a tenth of the palm's length beyond it.
Result<std::vector<HandObservation>> detectHands(const media::ImageView& image, std::span<const BodyObservation> bodies,
                                                 int maximumHandCount);

// The hands of the picture with no bodies to look closer around: detectHands(image, {}, count).
Result<std::vector<HandObservation>> detectHands(const media::ImageView& image, int maximumHandCount);

}  // namespace platform::vision
