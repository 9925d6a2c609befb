#include "person_cutout/command_line.h"

#include <sys/stat.h>
#include <filesystem>

#include "person_cutout/messages.h"
#include "person_cutout/run_state.h"

namespace person_cutout {

std::optional<unsigned> qualityOfWord(std::string_view word) {
  if (word == "accurate") return 0;
  if (word == "balanced") return 1;
  if (word == "fast") return 2;
  return std::nullopt;
}

std::string fileLocation(const std::string& path) {
  std::error_code failed;
  const std::filesystem::path location = std::filesystem::absolute(path.empty() ? "." : path, failed);
  return failed ? path : location.string();
}

bool existsAt(const std::string& location) {
  struct stat facts {};
  return ::stat(location.c_str(), &facts) == 0;
}

platform::Result<void> takeArguments(int argc, char** argv) {
  args.assign(argv, argv + argc);
  if (args.size() < 3) return failure(kUsage);
  const std::optional<unsigned> level = qualityOfWord(args.size() >= 4 ? args[3] : "accurate");
  if (!level) return failure(kBadQuality);
  quality = *level;
  source = fileLocation(args[1]);
  target = fileLocation(args[2]);
  if (!existsAt(source)) return failure(kNoVideo);
  if (existsAt(target)) return failure(kOutputExists);
  return {};
}

}  // namespace person_cutout
