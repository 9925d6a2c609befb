// Where the programs find their model files: a folder fixed when the project is built and
// installed, never taken from the environment.
#pragma once

#include <string>
#include <string_view>

namespace platform::nn {

// The folder that holds the model files: the build tree's models/ folder for a program run from
// the build tree, else the installed models folder under the install prefix.
std::string modelDirectory();

// The path of a model file by its name, e.g. modelPath("face_detection_full_range.tflite").
std::string modelPath(std::string_view name);

}  // namespace platform::nn
