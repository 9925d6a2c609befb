#include "frame_analysis/run_state.h"

namespace frame_analysis {

bool facesOnly = false;
std::string folder;
std::vector<std::string> files;

}  // namespace frame_analysis
