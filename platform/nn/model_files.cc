#include "platform/nn/model_files.h"

#include <filesystem>
#include <system_error>

namespace platform::nn {

std::string modelDirectory() {
  // Both folders are fixed by CMake. A program knows it runs from the build tree when its own
  // executable lies inside it; installed copies use the install prefix.
  static const std::string directory = [] {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    std::string buildTree = PLATFORM_NN_BUILD_TREE;
    if (!error && self.string().rfind(buildTree + "/", 0) == 0) {
      return std::string(PLATFORM_NN_BUILD_MODEL_DIR);
    }
    return std::string(PLATFORM_NN_INSTALLED_MODEL_DIR);
  }();
  return directory;
}

std::string modelPath(std::string_view name) { return modelDirectory() + "/" + std::string(name); }

}  // namespace platform::nn
