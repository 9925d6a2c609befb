// Finding the joints of bodies and hands in a picture.
#pragma once

#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/observations.h"

namespace platform::vision {

// One observation per person in the picture, best first, each person once. A joint is placed when
// the model puts it inside the picture; its confidence is how visible the model thinks it is. The
// neck is the midpoint of the shoulders, the root that of the hips, each with the lower of the two
// confidences. Left and right are the person's own. Fails only when the models cannot be loaded
// or run.
Result<std::vector<BodyObservation>> detectBodies(const media::ImageView& image);

// One observation per hand, each hand once, best palm first, `maximumHandCount` at most (none
// when it is 0 or less). Every placed joint carries the hand's confidence, how sure the model is
// that a hand is there. Fails only when the models cannot be loaded or run.
Result<std::vector<HandObservation>> detectHands(const media::ImageView& image, int maximumHandCount);

}  // namespace platform::vision
