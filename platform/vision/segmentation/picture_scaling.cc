#include "platform/vision/segmentation/picture_scaling.h"

#include <libyuv/convert_argb.h>
#include <libyuv/scale_argb.h>

#include "platform/media/pixel_buffer.h"
#include "platform/vision/pixels.h"
#include "platform/vision/segmentation/person_segmenter.h"

namespace platform::vision {

Result<void> scalePicture(const media::ImageView& picture, int width, int height, BgraPlane& out,
                          std::vector<uint8_t>& scratch) {
  if (!holdsPixels(picture)) {
    return personSegmentationError(PersonSegmentationError::noPixels, "the frame holds no pixels");
  }
  if (picture.width > media::kMaxPixelBufferSide || picture.height > media::kMaxPixelBufferSide || width < 1 ||
      height < 1 || width > media::kMaxPixelBufferSide || height > media::kMaxPixelBufferSide) {
    return personSegmentationError(PersonSegmentationError::noPixels,
                                   "the frame is larger than the segmentation takes");
  }

  // libyuv's "ARGB" is B, G, R, A in memory: our bgra8. Other layouts become BGRA first.
  const uint8_t* source = picture.data;
  int sourceStride = static_cast<int>(picture.bytesPerRow);
  if (picture.format != media::PixelFormat::bgra8) {
    scratch.resize(static_cast<size_t>(picture.width) * picture.height * 4);
    const int stride = picture.width * 4;
    const int converted =
        picture.format == media::PixelFormat::rgb8
            // libyuv's "RAW" is R, G, B in memory: our rgb8.
            ? libyuv::RAWToARGB(picture.data, sourceStride, scratch.data(), stride, picture.width, picture.height)
            : libyuv::J400ToARGB(picture.data, sourceStride, scratch.data(), stride, picture.width, picture.height);
    if (converted != 0)
      return personSegmentationError(PersonSegmentationError::noPixels, "the frame could not be converted");
    source = scratch.data();
    sourceStride = stride;
  }

  out.width = width;
  out.height = height;
  out.bytes.resize(static_cast<size_t>(width) * height * 4);
  if (libyuv::ARGBScale(source, sourceStride, picture.width, picture.height, out.bytes.data(), width * 4, width, height,
                        libyuv::kFilterBox) != 0) {
    return personSegmentationError(PersonSegmentationError::noPixels, "the frame could not be scaled");
  }
  return {};
}

}  // namespace platform::vision
