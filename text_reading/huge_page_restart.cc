#include "text_reading/huge_page_restart.h"

#include <sys/auxv.h>
#include <unistd.h>

#include <cstdlib>

namespace text_reading {

namespace {
constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kHugePages = "glibc.malloc.hugetlb";
}  // namespace

std::optional<std::string> tunablesWithHugePages(const char* current) {
  const std::string setting = std::string(kHugePages) + "=1";
  if (current == nullptr || *current == '\0') return setting;
  if (std::string(current).find(kHugePages) != std::string::npos) return std::nullopt;
  return std::string(current) + ":" + setting;
}

void restartWithHugePages(char** argv) {
  if (getauxval(AT_SECURE) != 0) return;
  const char* current = std::getenv(kTunables);
  const std::optional<std::string> tunables = tunablesWithHugePages(current);
  if (!tunables) return;
  const std::optional<std::string> before = current ? std::optional<std::string>(current) : std::nullopt;
  if (setenv(kTunables, tunables->c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
  // Not restarted: the environment goes back as it was, for anything this run starts.
  if (before)
    setenv(kTunables, before->c_str(), 1);
  else
    unsetenv(kTunables);
}

}  // namespace text_reading
