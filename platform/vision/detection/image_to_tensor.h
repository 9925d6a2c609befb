// Fills a model's float input tensor from a picture: the part of the picture under a rotated
// rectangle, resampled bilinearly to the tensor's size, pixel values mapped to the model's range.
// Plain functions of their arguments: safe to call from any thread.
#pragma once

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/pixels.h"

namespace platform::vision {

// A rectangle in a picture's pixel frame (x to the right, y down, (0, 0) the top-left corner of
// the top-left pixel), turned clockwise by `rotation` radians about its centre. A negative width
// (height) mirrors the content left-right (top-bottom).
struct RotatedRect {
  double centerX = 0;
  double centerY = 0;
  double width = 0;
  double height = 0;
  double rotation = 0;
};

// What a crop reads where it reaches outside the picture.
enum class Border {
  zero,       // black: the detectors' letterbox, whose padding the detectors were trained with
  replicate,  // the nearest edge pixel: the landmark models' crops (MediaPipe's default border)
};

struct PicturePoint {
  double x = 0;
  double y = 0;
};

// The point of the picture under a point of the tensor given in fractions of the tensor's width
// and height (0 to 1, from its top-left corner), for a tensor filled from `area`.
PicturePoint pictureFromTensor(const RotatedRect& area, double u, double v);

// Fills `tensor` (height × width × 3 floats, RGB, rows top first) from the picture under `area`.
// Pixel values 0-255 map linearly to [low, high]. Where the area reaches outside the picture it
// reads what `border` says: black pixels with Border::zero, mapped like any other (so those tensor
// values are `low`, for example -1 for a model that takes [-1, 1], not 0), or the nearest edge
// pixel with Border::replicate.
// `image` may be rgb8, bgra8 or gray8 (grey copied to all three channels), with any row stride.
// Fails (detection_errors.h) when the picture holds no pixels (noPixels), or the area is not a
// finite rectangle or the tensor has no pixels (badCrop); the tensor is then left as it was.
Result<void> imageToTensor(const media::ImageView& image, const RotatedRect& area, int width, int height, float low,
                           float high, float* tensor, Border border = Border::zero);

// The same, every tensor pixel's picture point worked out on its own: the plain form that tests
// hold imageToTensor's faster ones to (they must give the same values to the bit).
Result<void> imageToTensorPerPixel(const media::ImageView& image, const RotatedRect& area, int width, int height,
                                   float low, float high, float* tensor, Border border = Border::zero);

// How a whole picture fits a detector's tensor with its aspect ratio kept: `area` covers the
// picture plus the padding (use it with imageToTensor and pictureFromTensor), and the padding is
// given in fractions of the tensor on each side.
struct Letterbox {
  RotatedRect area;
  double padLeft = 0, padTop = 0, padRight = 0, padBottom = 0;
};
Letterbox letterbox(int pictureWidth, int pictureHeight, int tensorWidth, int tensorHeight);

}  // namespace platform::vision
