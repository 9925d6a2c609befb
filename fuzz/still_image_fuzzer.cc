// libFuzzer target for still-picture decoding: JPEG and PNG, whatever the bytes claim to be.
#include <cstddef>
#include <cstdint>

#include "fuzz/memory_file.h"
#include "platform/media/still_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz::MemoryFile file(data, size);
  if (!file.complete()) return 0;
  const auto picture = platform::media::decodeStillImage(file.path());
  if (!picture) return 0;
  // A picture that decodes holds exactly its rows.
  const platform::media::Image& image = picture.value();
  const bool whole = image.width >= 1 && image.height >= 1 &&
                     image.rgb.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3;
  if (!whole) __builtin_trap();
  return 0;
}
