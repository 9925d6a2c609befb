// A model file read for a reader of one format: the whole file in memory, then parsed, with every
// failure naming the file. Safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/nn/model_errors.h"
#include "platform/nn/model_files.h"
#include "platform/result.h"

namespace platform::nn {

// The file at `path` read by `read`, a reader of one format. A file that cannot be read fails as
// readModelBytes() does; the reader's own errors get the path in front of their description.
template <typename Parsed>
Result<Parsed> readModelFile(const std::string& path, Result<Parsed> (*read)(std::span<const uint8_t>)) {
  Result<std::vector<uint8_t>> bytes = readModelBytes(path);
  if (!bytes.ok()) return bytes.error();
  Result<Parsed> parsed = read(bytes.value());
  if (!parsed.ok()) return withPath(path, parsed.error());
  return parsed;
}

}  // namespace platform::nn
