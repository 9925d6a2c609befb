// libFuzzer target for look's text path as a whole: a picture decoded, its lines found and read,
// as look reads each image. The models are loaded on the first input and kept, as in look.
#include <cstddef>
#include <cstdint>

#include "fuzz/memory_file.h"
#include "platform/media/still_image.h"
#include "platform/vision/text/text_service.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::MemoryFile file(data, size);
  if (!file.complete()) return 0;
  const auto picture = platform::media::decodeStillImage(file.path());
  if (!picture) return 0;
  constexpr platform::vision::TextRecognitionOptions kOptions{
      .recognitionLevel = platform::vision::TextRecognitionLevel::accurate, .usesLanguageCorrection = true};
  const auto lines = platform::vision::recognizeText(picture.value().view(), kOptions);
  if (!lines) return 0;
  // Every line found lies within the picture, as fractions of it.
  for (const auto& line : lines.value()) {
    const auto& box = line.boundingBox;
    const bool inside = box.x >= -1e-6 && box.y >= -1e-6 && box.x + box.width <= 1 + 1e-6 &&
                        box.y + box.height <= 1 + 1e-6 && box.width >= 0 && box.height >= 0;
    if (!inside) __builtin_trap();
  }
  return 0;
}
