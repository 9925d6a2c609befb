#include "person_cutout/video_setup.h"

#include <string>

#include "person_cutout/cut_out_size.h"
#include "person_cutout/messages.h"
#include "person_cutout/run_state.h"
#include "platform/errors.h"

namespace person_cutout {

using namespace platform::media;

platform::Result<void> openVideo() {
  platform::Result<std::shared_ptr<VideoAsset>> opened = VideoAsset::open(source);
  if (!opened) {
    // A file read to no avail lists no video track, as a file with only sound does.
    const bool unrecognised = opened.error().domain == platform::kVideoDomain &&
                              opened.error().code == static_cast<int64_t>(VideoError::unrecognised);
    return failure(unrecognised ? kNoPicture : kCannotOpen);
  }
  asset = std::move(opened.value());
  if (asset->videoTracks().empty()) return failure(kNoPicture);
  track = asset->videoTracks().front();

  turned = !track.displayMatrix.isIdentity();
  shown = turned ? track.uprightSize : track.storedSize;
  platform::Result<std::unique_ptr<VideoReader>> made =
      makeVideoReader(asset, track, turned ? FrameOrientation::upright : FrameOrientation::asStored);
  if (!made) return failure(kCannotOpen);
  reader = std::move(made.value());
  if (!reader->start()) return failure(kCannotRead);
  return {};
}

void sizeCutOut() {
  const CutOutSize size = cutOutSize(shown);
  longest = size.longest;
  shrink = size.shrink;
  width = size.width;
  height = size.height;
}

platform::Result<void> prepareWriter() {
  platform::Result<std::unique_ptr<VideoWriter>> created = VideoWriter::create(target);
  if (!created) {
    // Something appeared at the path after the check: it is left as it is.
    if (created.error().domain == platform::kVideoDomain &&
        created.error().code == static_cast<int64_t>(VideoError::fileExists)) {
      return failure(kOutputExists);
    }
    return failure(kCannotWrite);
  }
  writer = std::move(created.value());

  VideoWriterSettings settings;
  settings.width = static_cast<int>(width);
  settings.height = static_cast<int>(height);
  settings.averageBitRate = 1'800'000;
  settings.maxKeyFrameInterval = 12;
  settings.timeScale = track.timeScale;
  settings.frameRate = track.frameRate;
  if (const platform::Result<void> started = writer->start(settings); !started) {
    return failure(std::string(kCannotWrite) + ": " + reasonOf(started.error()));
  }
  return {};
}

void prepareSegmentation() {
  request.setQuality(static_cast<platform::vision::MaskQuality>(quality));
  if (!vision) vision = std::make_unique<platform::vision::SequenceRequestHandler>();
}

void countExpectedFrames() { expected = expectedFrameCount(asset->duration().seconds(), track.frameRate); }

}  // namespace person_cutout
