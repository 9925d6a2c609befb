// Performs vision requests on the frames of one sequence, such as a video, one after another.
//
// One handler follows one sequence from one thread at a time (its frames come in order); handlers
// of other sequences may run on other threads at the same time.
#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <typeindex>

#include "platform/media/pixel_buffer.h"
#include "platform/result.h"
#include "platform/vision/requests.h"

namespace platform::vision {

// Keeps what requests learn from one frame for the next, one memory per kind of request (see
// SequenceMemory): a person mask request made afresh for every frame still follows the sequence.
class SequenceRequestHandler {
 public:
  // Runs the requests one after another on `frame`, the next frame of the sequence. Succeeds when
  // all of them ran; otherwise gives the first failure, and requests after a failed one do not
  // run. A frame without pixels is handed on as it is: each request reports it as its own failure.
  Result<void> perform(std::initializer_list<Request*> requests, const media::PixelBuffer& frame);

 private:
  std::map<std::type_index, std::unique_ptr<SequenceMemory>> memories_;
};

}  // namespace platform::vision
