// The request for a person mask of a picture or of the next frame of a sequence.
#pragma once

#include <functional>
#include <memory>

#include "platform/media/pixel_buffer.h"
#include "platform/vision/observations.h"
#include "platform/vision/requests.h"
#include "platform/vision/segmentation/person_segmenter.h"

namespace platform::vision {

// Its one result holds the mask: one byte per pixel, rows top first, larger values for person; the
// mask's size is the segmenter's choice. In a sequence the request keeps its segmenter in the
// sequence's memory, so masks are steadied from frame to frame.
class PersonMaskRequest : public RequestWithResults<MaskObservation> {
 public:
  using SegmenterMaker = std::function<std::unique_ptr<PersonSegmenter>()>;

  // Segments with the platform's person segmentation.
  PersonMaskRequest();
  // Segments with the segmenters `makeSegmenter` gives (masks from elsewhere, such as hand-made
  // ones in tests): one per picture alone, one per sequence.
  explicit PersonMaskRequest(SegmenterMaker makeSegmenter);

  void setQuality(MaskQuality quality) { quality_ = quality; }

  // Segments `image` on its own, with a segmenter of its own.
  Result<void> perform(const media::ImageView& image) override;
  // Segments `image` as the next frame of the sequence whose segmenter `memory` holds (made here
  // on the first frame).
  Result<void> performInSequence(const media::ImageView& image, std::unique_ptr<SequenceMemory>& memory) override;

 private:
  Result<void> segment(const media::ImageView& image, PersonSegmenter& segmenter);

  SegmenterMaker makeSegmenter_;
  MaskQuality quality_ = MaskQuality::accurate;
};

}  // namespace platform::vision
