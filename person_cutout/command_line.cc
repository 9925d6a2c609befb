#include "person_cutout/command_line.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "person_cutout/messages.h"

namespace person_cutout {

using platform::vision::MaskQuality;

std::optional<MaskQuality> qualityOfWord(std::string_view word) {
  if (word == "accurate") return MaskQuality::accurate;
  if (word == "balanced") return MaskQuality::balanced;
  if (word == "fast") return MaskQuality::fast;
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

platform::Result<MatteRun> takeArguments(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (args.size() < 3) return failure(kUsage);
  const std::optional<MaskQuality> quality = qualityOfWord(args.size() >= 4 ? args[3] : "accurate");
  if (!quality) return failure(kBadQuality);
  MatteRun run;
  run.quality = *quality;
  run.source = fileLocation(args[1]);
  run.target = fileLocation(args[2]);
  if (!existsAt(run.source)) return failure(kNoVideo);
  if (existsAt(run.target)) return failure(kOutputExists);
  return run;
}

}  // namespace person_cutout
