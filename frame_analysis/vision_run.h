// What one run of `vision` works on: what its command line asked and the frames it chose. main
// builds it and hands it to the steps; nothing of it lives in a global.
#pragma once

#include <string>
#include <vector>

namespace frame_analysis {

// Which requests each frame gets.
enum class Analysis {
  full,       // faces, bodies and hands
  facesOnly,  // faces alone, each with a colour sample of the region around it
};

struct VisionRun {
  std::string folder;  // the frame folder as given on the command line
  double fps = 0;      // frames per second, greater than 0
  Analysis analysis = Analysis::full;
  std::vector<std::string> files;  // paths of the chosen frames, in the order they are analysed
};

}  // namespace frame_analysis
