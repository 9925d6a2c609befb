// Vision requests: each names one analysis, carries its options and, once a handler has performed
// it, its results. The concrete requests live with their services (faces/face_requests.h,
// bodies_and_hands/pose_requests.h, text/text_request.h, segmentation/person_mask_request.h).
//
// A request is a cheap object made per picture and used from one thread at a time; the services
// behind it are shared and safe to call from several threads.
#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/media/image.h"
#include "platform/result.h"

namespace platform::vision {

// What a kind of request carries from one frame of a sequence to the next (the person mask request
// keeps its segmenter there, which steadies each mask with the last). A sequence handler keeps one
// per kind of request it performs.
class SequenceMemory {
 public:
  virtual ~SequenceMemory() = default;
};

class Request {
 public:
  virtual ~Request() = default;

  // Runs the analysis on `image` alone and keeps its results on the request; on failure the
  // results are absent. Handlers call this; programs call the handler.
  virtual Result<void> perform(const media::ImageView& image) = 0;

  // Runs the analysis on `image` as the next frame of a sequence. `memory` is what requests of
  // this kind left there on the frames before (empty on the first); the request may replace it.
  // By default a request keeps nothing and performs as on a picture alone.
  virtual Result<void> performInSequence(const media::ImageView& image, std::unique_ptr<SequenceMemory>& memory) {
    (void)memory;
    return perform(image);
  }
};

// Results are absent until the request has run, and after it failed.
template <typename Observation>
class RequestWithResults : public Request {
 public:
  const std::optional<std::vector<Observation>>& results() const { return results_; }

 protected:
  Result<void> keep(Result<std::vector<Observation>> outcome) {
    if (!outcome) {
      results_.reset();
      return outcome.error();
    }
    results_ = std::move(outcome).value();
    return {};
  }

 private:
  std::optional<std::vector<Observation>> results_;
};

}  // namespace platform::vision
