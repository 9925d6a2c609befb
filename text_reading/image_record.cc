#include "text_reading/image_record.h"

#include <utf8proc.h>

#include <cmath>

#include "platform/directory_listing.h"

namespace text_reading {

using namespace platform::vision;
using platform::JsonArray;
using platform::JsonObject;

namespace {

bool isTrimmed(utf8proc_int32_t codepoint) {
  if ((codepoint >= 0x09 && codepoint <= 0x0D) || codepoint == 0x85) return true;
  const utf8proc_category_t category = utf8proc_category(codepoint);
  return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP;
}

}  // namespace

double round4(double value) { return std::round(value * 10000.0) / 10000.0; }

double round3(float confidence) { return std::round(static_cast<double>(confidence) * 1000.0) / 1000.0; }

JsonArray fromTop(const NormalizedRect& rect) {
  return platform::jsonNumbers(
      {round4(rect.minX()), round4(1.0 - rect.maxY()), round4(std::abs(rect.width)), round4(std::abs(rect.height))});
}

std::string trimmed(const std::string& text) {
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  const auto size = static_cast<utf8proc_ssize_t>(text.size());
  size_t begin = text.size(), end = 0;  // of the kept characters
  for (utf8proc_ssize_t i = 0; i < size;) {
    utf8proc_int32_t codepoint = 0;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + i, size - i, &codepoint);
    const bool kept = length <= 0 || !isTrimmed(codepoint);  // a stray byte is kept as it is
    if (length <= 0) length = 1;
    if (kept) {
      begin = std::min(begin, static_cast<size_t>(i));
      end = static_cast<size_t>(i + length);
    }
    i += length;
  }
  if (begin >= end) return std::string();
  return text.substr(begin, end - begin);
}

std::optional<JsonObject> lineRecord(const TextObservation& observation) {
  const std::vector<TextCandidate> candidates = observation.bestCandidates(1);
  if (candidates.empty()) return std::nullopt;
  const TextCandidate& best = candidates.front();
  std::string text = trimmed(best.string);
  if (text.empty()) return std::nullopt;
  JsonObject record;
  record["text"] = std::move(text);
  record["box"] = fromTop(observation.boundingBox);
  record["confidence"] = round3(best.confidence);
  return record;
}

JsonObject faceBoxRecord(const FaceObservation& face) {
  JsonObject record;
  record["box"] = fromTop(face.boundingBox);
  record["confidence"] = round3(face.confidence);
  return record;
}

std::string fileName(const std::string& path) {
  return platform::replacingInvalidUtf8(platform::lastPathComponent(path));
}

JsonObject imageRecord(const std::string& path, const std::vector<TextObservation>& lines,
                       const std::vector<FaceObservation>& faces) {
  JsonArray text, faceRecords;
  for (const TextObservation& line : lines) {
    if (std::optional<JsonObject> record = lineRecord(line)) text.emplace_back(std::move(*record));
  }
  for (const FaceObservation& face : faces) faceRecords.emplace_back(faceBoxRecord(face));
  JsonObject record;
  record["file"] = fileName(path);
  record["text"] = std::move(text);
  record["faces"] = std::move(faceRecords);
  return record;
}

JsonObject failedImageRecord(const std::string& path, const platform::Error& failure) {
  JsonObject record;
  record["file"] = fileName(path);
  // The description may quote the path, whose bytes need not be UTF-8.
  record["error"] = platform::replacingInvalidUtf8(failure.description);
  record["text"] = JsonArray{};
  record["faces"] = JsonArray{};
  return record;
}

}  // namespace text_reading
