#include "platform/vision/segmentation/person_mask_request.h"

#include <utility>
#include <vector>

#include "platform/vision/pixels.h"

namespace platform::vision {

namespace {

// A sequence's segmenter, kept from frame to frame.
struct SegmenterMemory final : SequenceMemory {
  std::unique_ptr<PersonSegmenter> segmenter;
};

}  // namespace

PersonMaskRequest::PersonMaskRequest() : makeSegmenter_(makePersonSegmenter) {}

PersonMaskRequest::PersonMaskRequest(SegmenterMaker makeSegmenter) : makeSegmenter_(std::move(makeSegmenter)) {}

Result<void> PersonMaskRequest::perform(const media::ImageView& image) {
  std::unique_ptr<PersonSegmenter> segmenter = makeSegmenter_();
  return segment(image, *segmenter);
}

Result<void> PersonMaskRequest::performInSequence(const media::ImageView& image,
                                                  std::unique_ptr<SequenceMemory>& memory) {
  if (!memory) {
    auto fresh = std::make_unique<SegmenterMemory>();
    fresh->segmenter = makeSegmenter_();
    memory = std::move(fresh);
  }
  // Only this kind of request leaves memory under its own kind.
  return segment(image, *static_cast<SegmenterMemory&>(*memory).segmenter);
}

Result<void> PersonMaskRequest::segment(const media::ImageView& image, PersonSegmenter& segmenter) {
  if (!holdsPixels(image)) {
    return keep(personSegmentationError(PersonSegmentationError::noPixels, "the frame holds no pixels"));
  }
  Result<std::shared_ptr<media::PixelBuffer>> mask = segmenter.segment(image, quality_);
  if (!mask) return keep(mask.error());
  return keep(std::vector<MaskObservation>{MaskObservation{std::move(mask).value()}});
}

}  // namespace platform::vision
