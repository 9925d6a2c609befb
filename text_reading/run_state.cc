#include "text_reading/run_state.h"

namespace text_reading {

std::string folder;
std::vector<std::string> files;

}  // namespace text_reading
