// How the neural-network runtime reports its failures: every Error it returns has the domain
// kModelDomain and one of these codes, so a caller can tell a missing file from a damaged one,
// a model the runtime cannot run, and a failure of the engine underneath.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/errors.h"

namespace platform::nn {

enum class ModelError : int64_t {
  unreadableFile = 1,  // the file is missing, a folder, too large, or cannot be read
  malformed = 2,       // damaged bytes, or tensors and shapes that contradict each other
  unsupported = 3,     // well formed, but an operator, type or option this runtime does not run
  engineFailed = 4,    // XNNPACK could not be initialised or refused to build the model
  runFailed = 5,       // an inference failed
  invalidInputs = 6,   // a caller's inputs do not fit the graph (the reference loops)
};

inline Error modelError(ModelError code, std::string description) {
  return makeError(kModelDomain, code, std::move(description));
}

// A damaged file, or tensors and shapes that contradict each other.
inline Error malformed(std::string description) { return modelError(ModelError::malformed, std::move(description)); }

// A well-formed model with an operator, type or option that this runtime does not run.
inline Error unsupported(std::string description) {
  return modelError(ModelError::unsupported, std::move(description));
}

// `error` with the path of the file it concerns in front of its description.
inline Error withPath(const std::string& path, Error error) {
  error.description = path + ": " + error.description;
  return error;
}

}  // namespace platform::nn
