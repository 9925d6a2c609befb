// The landmark models' points as the body and hand observations the service reports.
#pragma once

#include <span>

#include "platform/vision/detection/landmark_decoding.h"
#include "platform/vision/observations.h"

namespace platform::vision {

// The pose landmark model's 33 body points in its own order (picture pixels, confidence = the
// model's visibility of the point) as a body observation of a pictureWidth x pictureHeight
// picture: each joint the observation names, in the normalised frame (origin bottom-left, y up).
// The neck is the midpoint of the shoulders and the root the midpoint of the hips, each with the
// lower confidence of its two points. A joint whose point lies outside the picture, or is not a
// finite number, is not placed: the model guessed it, it did not see it. Points missing from a
// shorter list are not placed either.
BodyObservation bodyObservation(std::span<const LandmarkPoint> points, int pictureWidth, int pictureHeight);

// The hand landmark model's 21 points in its own order (picture pixels) as a hand observation;
// every placed joint carries `presence`, the model's confidence that a hand is there. Joints are
// placed by the same rule as for bodies, except that a point within a tenth of the palm's length
// (wrist to the middle finger's base) beyond the picture's edge is placed too, where it is: the
// model is not surer than that where the edge cuts the hand.
HandObservation handObservation(std::span<const LandmarkPoint> points, float presence, int pictureWidth,
                                int pictureHeight);

}  // namespace platform::vision
