// The request for a person mask of a picture.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/media/pixel_buffer.h"
#include "platform/vision/person_segmentation_service.h"
#include "platform/vision/requests.h"

namespace platform::vision {

// Raw values as callers store them: 0 accurate, 1 balanced, 2 fast.
enum class VNGeneratePersonSegmentationRequestQualityLevel : unsigned {
  accurate = 0,
  balanced = 1,
  fast = 2,
};

// Its one result is a VNPixelBufferObservation holding the mask: one byte per pixel, rows top
// first, larger values for person; the mask's size is the segmentation's choice.
class VNGeneratePersonSegmentationRequest : public VNRequestWithResults<VNPixelBufferObservation> {
 public:
  std::string_view className() const override { return "VNGeneratePersonSegmentationRequest"; }

  void setQualityLevel(VNGeneratePersonSegmentationRequestQualityLevel level) { qualityLevel_ = level; }
  VNGeneratePersonSegmentationRequestQualityLevel qualityLevel() const { return qualityLevel_; }

  // The layout of the mask as a four-character code. Only media::kPixelFormatOneComponent8 (the
  // default) is made here; performing the request with another one fails.
  void setOutputPixelFormat(uint32_t format) { outputPixelFormat_ = format; }
  uint32_t outputPixelFormat() const { return outputPixelFormat_; }

  // Segments `image` on its own, with a segmenter of its own.
  std::optional<Error> perform(const media::ImageView& image) override;
  // Segments `image` as the next frame of the sequence that `segmenter` follows.
  std::optional<Error> perform(const media::ImageView& image, PersonSegmenter& segmenter);

 private:
  VNGeneratePersonSegmentationRequestQualityLevel qualityLevel_ = VNGeneratePersonSegmentationRequestQualityLevel::accurate;
  uint32_t outputPixelFormat_ = media::kPixelFormatOneComponent8;
};

}  // namespace platform::vision
