// Where the programs find their model files: beside their own executable, never taken from the
// environment, so an installed tree can be staged and moved as a whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace platform::nn {

// The folder that holds the model files: the install's models folder beside the executable's
// folder (<exe dir>/../share/people_vision_tools/models), or, for a program run from the build
// tree, the build tree's models folder.
std::string modelDirectory();

// The path of a model file by its name, e.g. modelPath("face_detection_full_range.tflite").
std::string modelPath(std::string_view name);

// The bytes of the model file at `path`: every file the programs load (models, the recogniser's
// alphabet, the canonical face) is read here. Only a regular file of at most 1 GiB is read (the
// largest of the set is 28 MB): a FIFO or a device put in a model's place would block the program
// or fill its memory. Fails with ModelError::unreadableFile, naming the path. Safe from any thread.
Result<std::vector<uint8_t>> readModelBytes(const std::string& path);

}  // namespace platform::nn
