// Performs vision requests on the picture in one file.
//
// A handler is made per picture and used from one thread; handlers on other threads may run at the
// same time.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "platform/media/image.h"
#include "platform/result.h"
#include "platform/vision/requests.h"

namespace platform::vision {

class ImageRequestHandler {
 public:
  // Nothing is read here; the file is opened and decoded when requests are first performed. The
  // picture is taken as stored: orientation tags in the file are not applied.
  explicit ImageRequestHandler(std::string path);

  // Runs the requests one after another on the picture, which is decoded once per handler and
  // shared by every request it performs. Succeeds when all of them ran; otherwise gives the first
  // failure (a picture that cannot be read fails every request, with the still-image service's
  // error), and requests after a failed one do not run.
  Result<void> perform(std::initializer_list<Request*> requests);

 private:
  std::string path_;
  std::optional<Result<media::Image>> picture_;
};

}  // namespace platform::vision
