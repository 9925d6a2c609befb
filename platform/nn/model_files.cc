#include "platform/nn/model_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace platform::nn {

namespace {

namespace fs = std::filesystem;

bool isInside(const fs::path& path, const fs::path& folder) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

// The folder `executable` (a resolved path) takes its models from. Only the build tree's place is
// fixed by CMake; installed copies look relative to themselves.
fs::path modelDirectoryFor(const fs::path& executable) {
  const fs::path installed = (executable.parent_path() / PLATFORM_NN_MODELS_FROM_BIN).lexically_normal();
  std::error_code error;
  if (fs::is_directory(installed, error)) return installed;
  const fs::path buildTree = fs::weakly_canonical(PLATFORM_NN_BUILD_TREE, error);
  if (!error && isInside(executable, buildTree)) return PLATFORM_NN_BUILD_MODEL_DIR;
  // Neither: the install's place, so that a failed load names where the models belong.
  return installed;
}

}  // namespace

std::string modelDirectory() {
  static const std::string directory = [] {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return modelDirectoryFor(self).string();
  }();
  return directory;
}

std::string modelPath(std::string_view name) { return modelDirectory() + "/" + std::string(name); }

}  // namespace platform::nn
