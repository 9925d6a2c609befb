#include "text_reading/image_reading.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "platform/errors.h"
#include "platform/media/still_image.h"
#include "platform/vision/faces/face_service.h"
#include "platform/vision/text/text_service.h"
#include "text_reading/image_record.h"

namespace text_reading {

using namespace platform::vision;
using platform::Result;

namespace {

constexpr std::string_view kOutputDomain = "look.output";
enum class OutputError : int64_t { refused = 1, unwritable = 2 };

// Every line read as well as the readers can: Tesseract reads again the lines it reads better,
// guided by its word lists.
constexpr TextRecognitionOptions kTextOptions{.recognitionLevel = TextRecognitionLevel::accurate,
                                              .usesLanguageCorrection = true};

}  // namespace

platform::JsonObject analyseImage(const std::string& path) {
  const Result<platform::media::Image> picture = platform::media::decodeStillImage(path);
  if (!picture) return failedImageRecord(path, picture.error());
  const platform::media::ImageView view = picture.value().view();
  const Result<std::vector<TextObservation>> lines = recognizeText(view, kTextOptions);
  if (!lines) return failedImageRecord(path, lines.error());
  const Result<std::vector<FaceObservation>> faces = detectFaceRectangles(view);
  if (!faces) return failedImageRecord(path, faces.error());
  return imageRecord(path, lines.value(), faces.value());
}

platform::Result<void> readImage(const std::string& path) {
  // Every string in the record is valid UTF-8, so this only fails if an observation carried a
  // number that is not finite; the image then gets an error line rather than none.
  std::optional<std::string> text = platform::writeJson(analyseImage(path));
  if (!text) {
    text = platform::writeJson(failedImageRecord(
        path, platform::Error{std::string(kOutputDomain), static_cast<int64_t>(OutputError::unwritable),
                              "The record of the picture could not be written: a number in it is not finite."}));
  }
  if (!text) return platform::makeError(kOutputDomain, OutputError::unwritable, "a record could not be written");
  const bool written = std::fwrite(text->data(), 1, text->size(), stdout) == text->size() &&
                       std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0;
  if (!written) return platform::makeError(kOutputDomain, OutputError::refused, "standard output refused a line");
  return {};
}

}  // namespace text_reading
