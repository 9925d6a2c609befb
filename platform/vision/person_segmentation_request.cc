#include "platform/vision/person_segmentation_request.h"

#include <vector>

namespace platform::vision {

std::optional<Error> VNGeneratePersonSegmentationRequest::perform(const media::ImageView& image) {
  std::unique_ptr<PersonSegmenter> segmenter = makePersonSegmenter();
  return perform(image, *segmenter);
}

std::optional<Error> VNGeneratePersonSegmentationRequest::perform(const media::ImageView& image, PersonSegmenter& segmenter) {
  if (outputPixelFormat_ != media::kPixelFormatOneComponent8) {
    return keep(personSegmentationError(PersonSegmentationError::unsupportedFormat, "person masks come only as one byte per pixel"));
  }
  PersonSegmentationQuality quality = PersonSegmentationQuality::accurate;
  if (qualityLevel_ == VNGeneratePersonSegmentationRequestQualityLevel::balanced) quality = PersonSegmentationQuality::balanced;
  if (qualityLevel_ == VNGeneratePersonSegmentationRequestQualityLevel::fast) quality = PersonSegmentationQuality::fast;
  Result<std::shared_ptr<media::PixelBuffer>> mask = segmenter.segment(image, quality);
  if (!mask) return keep(mask.error());
  return keep(std::vector<VNPixelBufferObservation>{VNPixelBufferObservation{std::move(mask.value())}});
}

}  // namespace platform::vision
