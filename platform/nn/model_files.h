// Where the programs find their model files: beside their own executable, never taken from the
// environment, so an installed tree can be staged and moved as a whole.
#pragma once

#include <string>
#include <string_view>

namespace platform::nn {

// The folder that holds the model files: the install's models folder beside the executable's
// folder (<exe dir>/../share/people_vision_tools/models), or, for a program run from the build
// tree, the build tree's models folder.
std::string modelDirectory();

// The path of a model file by its name, e.g. modelPath("face_detection_full_range.tflite").
std::string modelPath(std::string_view name);

}  // namespace platform::nn
