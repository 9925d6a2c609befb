#include "platform/vision/person_segmentation_service.h"

#include "platform/vision/selfie_segmenter.h"

namespace platform::vision {

std::unique_ptr<PersonSegmenter> makePersonSegmenter() { return makeSelfieSegmenter(); }

}  // namespace platform::vision
