#include "platform/vision/segmentation/person_segmenter.h"

#include "platform/vision/segmentation/selfie_segmenter.h"

namespace platform::vision {

std::unique_ptr<PersonSegmenter> makePersonSegmenter() { return makeSelfieSegmenter(); }

}  // namespace platform::vision
