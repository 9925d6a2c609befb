// The run state of `vision`, set once by main in this order and kept until the process ends.
#pragma once

#include <string>
#include <vector>

namespace frame_analysis {

// True when the word faces was given: only faces are analysed, each with a colour sample.
extern bool facesOnly;
// The frame folder as given on the command line.
extern std::string folder;
// Paths of the chosen frames, in the order they are analysed.
extern std::vector<std::string> files;

}  // namespace frame_analysis
