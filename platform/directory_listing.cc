#include "platform/directory_listing.h"

#include <dirent.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

namespace platform {

std::optional<std::vector<std::string>> listDirectory(const std::string& path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(path.c_str()), closedir);
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return std::nullopt;  // a listing cut short is a failed listing
      break;
    }
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  return names;
}

std::string appendPathComponent(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string lastPathComponent(const std::string& path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  const std::string_view trimmed(path.data(), end);
  if (trimmed == "/") return "/";
  const size_t slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) return std::string(trimmed);
  return std::string(trimmed.substr(slash + 1));
}

std::string pathExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return std::string();
  return name.substr(dot + 1);
}

}  // namespace platform
