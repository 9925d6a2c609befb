// Performs vision requests on the picture in one file.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/requests.h"

namespace platform::vision {

// How the picture's stored pixels are turned to be upright. Only upright pictures are handled:
// orientation tags in the file are not applied.
enum class ImageOrientation { up = 1 };

class VNImageRequestHandler {
 public:
  // Nothing is read here; the file is opened and decoded when requests are first performed.
  explicit VNImageRequestHandler(std::string path, ImageOrientation orientation = ImageOrientation::up);

  // Runs the requests one after another on the picture, which is decoded once per handler and
  // shared by every request it performs. Gives nothing when all of them ran, or the first failure
  // (a picture that cannot be read fails every request); requests after a failed one do not run.
  std::optional<Error> performRequests(std::initializer_list<VNRequest*> requests);

 private:
  std::string path_;
  std::optional<Result<media::Image>> picture_;
};

}  // namespace platform::vision
