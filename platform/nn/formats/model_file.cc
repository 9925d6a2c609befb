#include "platform/nn/formats/model_file.h"

#include "platform/nn/model_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace platform::nn {

Result<std::vector<uint8_t>> readModelBytes(const std::string& path) {
  constexpr uintmax_t kMaxFileSize = uintmax_t{1} << 30;
  std::error_code typeError;
  const std::filesystem::file_status status = std::filesystem::status(path, typeError);
  if (!typeError && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    return modelError(ModelError::unreadableFile, path + ": not a regular file, refused as a model file");
  }
  std::error_code sizeError;
  uintmax_t size = std::filesystem::file_size(path, sizeError);
  if (sizeError) {
    return modelError(ModelError::unreadableFile, "cannot open model file " + path + ": " + sizeError.message());
  }
  if (size > kMaxFileSize) {
    return modelError(ModelError::unreadableFile, path + ": a model file larger than 1 GiB is refused");
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return modelError(ModelError::unreadableFile, "cannot open model file " + path);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return modelError(ModelError::unreadableFile, "cannot read model file " + path);
  return bytes;
}

}  // namespace platform::nn
