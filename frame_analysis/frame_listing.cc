#include "frame_analysis/frame_listing.h"

#include <cmath>

#include "platform/directory_listing.h"
#include "platform/name_order.h"
#include "platform/number_reading.h"

namespace frame_analysis {

std::optional<double> readFrameRate(const std::string& text) {
  const std::optional<double> rate = platform::readDouble(text);
  if (!rate || !(*rate > 0) || !std::isfinite(*rate)) return std::nullopt;  // also refuses NaN
  // Every frame's time, index / rate, must be a finite number its record can hold: with a rate
  // this small, the time of frame 2^32 would not be.
  if (!std::isfinite(4294967296.0 / *rate)) return std::nullopt;
  return rate;
}

std::optional<std::vector<std::string>> chooseFrames(const std::string& folder) {
  const std::optional<std::vector<std::string>> entries = platform::listDirectory(folder);
  if (!entries) return std::nullopt;
  std::vector<std::string> names;
  for (const std::string& name : *entries) {
    if (platform::pathExtension(name) == "jpg") names.push_back(name);
  }
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const size_t i : platform::nameOrder(names)) paths.push_back(platform::appendPathComponent(folder, names[i]));
  return paths;
}

}  // namespace frame_analysis
