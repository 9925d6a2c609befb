#include "text_reading/image_reading.h"

#include <cstdio>
#include <optional>

#include "platform/errors.h"
#include "platform/json.h"
#include "platform/vision/faces/face_requests.h"
#include "platform/vision/image_request_handler.h"
#include "platform/vision/text/text_request.h"
#include "text_reading/image_record.h"

namespace text_reading {

using namespace platform::vision;

namespace {

constexpr std::string_view kOutputDomain = "look.output";
enum class OutputError : int64_t { refused = 1 };

}  // namespace

platform::Result<void> readImage(const std::string& path) {
  TextRecognitionRequest textRequest;
  textRequest.setRecognitionLevel(TextRecognitionLevel::accurate);
  textRequest.setUsesLanguageCorrection(true);
  textRequest.setDetectsScript(true);
  FaceRectanglesRequest faceRequest;
  ImageRequestHandler handler(path);

  platform::JsonObject record;
  if (const platform::Result<void> done = handler.perform({&textRequest, &faceRequest}); !done) {
    record = failedImageRecord(path, done.error());
  } else {
    static const std::vector<TextObservation> kNoLines;
    static const std::vector<FaceObservation> kNoFaces;
    record = imageRecord(path, textRequest.results() ? *textRequest.results() : kNoLines,
                         faceRequest.results() ? *faceRequest.results() : kNoFaces);
  }
  // Every string in the record is valid UTF-8 and every number finite, so this only fails if
  // an observation carried a number that is not; that image then gets no line.
  const std::optional<std::string> text = platform::writeJson(record);
  if (!text) return {};
  const bool written = std::fwrite(text->data(), 1, text->size(), stdout) == text->size() &&
                       std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0;
  if (!written) return platform::makeError(kOutputDomain, OutputError::refused, "standard output refused a line");
  return {};
}

}  // namespace text_reading
