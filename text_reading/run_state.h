// The run state of `look`, set once by main in this order and kept until the process ends.
#pragma once

#include <string>
#include <vector>

namespace text_reading {

// The folder as given on the command line.
extern std::string folder;
// Paths of the selected images, in the order they are read.
extern std::vector<std::string> files;

}  // namespace text_reading
