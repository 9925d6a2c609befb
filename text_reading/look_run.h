// What one run of `look` works on: the folder its command line named and the images it chose.
// main builds it and hands the images to the per-image step; nothing of it lives in a global.
#pragma once

#include <string>
#include <vector>

namespace text_reading {

struct LookRun {
  std::string folder;              // as given on the command line
  std::vector<std::string> files;  // paths of the chosen images, in the order they are read
};

}  // namespace text_reading
