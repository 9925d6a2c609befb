// libFuzzer target for video reading: opening a container, listing its tracks and decoding the
// first video track's frames, turned upright when the track says so.
#include <cstddef>
#include <cstdint>

#include "fuzz/memory_file.h"
#include "platform/media/video_asset.h"
#include "platform/media/video_reader.h"

namespace {

// Enough frames to pass the start of every stream, few enough to keep each input quick.
constexpr int kMostFrames = 60;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform::media;
  const fuzz::MemoryFile file(data, size);
  if (!file.complete()) return 0;
  auto asset = VideoAsset::open(file.path());
  if (!asset || asset.value()->videoTracks().empty()) return 0;
  const VideoTrack track = asset.value()->videoTracks().front();
  const FrameOrientation orientation =
      track.displayMatrix.isIdentity() ? FrameOrientation::asStored : FrameOrientation::upright;
  auto reader = makeVideoReader(asset.value(), track, orientation);
  if (!reader || !reader.value()->start()) return 0;
  for (int i = 0; i < kMostFrames; ++i) {
    auto sample = reader.value()->nextSample();
    if (!sample || !sample.value()) break;
    const auto& picture = sample.value()->picture;
    if (!picture) continue;
    // Every frame given is a whole BGRA picture: its last pixel is there to read.
    if (picture->format != PixelFormat::bgra8 || picture->data == nullptr || picture->width < 1 ||
        picture->height < 1 || picture->bytesPerRow < static_cast<ptrdiff_t>(picture->width) * 4) {
      __builtin_trap();
    }
    volatile uint8_t last = picture->row(picture->height - 1)[picture->width * 4 - 1];
    static_cast<void>(last);
  }
  return 0;
}
