#include "person_cutout/video_setup.h"

#include <string>

#include "person_cutout/cut_out_size.h"
#include "person_cutout/messages.h"
#include "platform/errors.h"

namespace person_cutout {

using namespace platform::media;

platform::Result<void> openVideo(MatteRun& run) {
  platform::Result<std::shared_ptr<VideoAsset>> opened = VideoAsset::open(run.source);
  if (!opened) {
    // A file read to no avail lists no video track, as a file with only sound does.
    const bool unrecognised = opened.error().domain == platform::kVideoDomain &&
                              opened.error().code == static_cast<int64_t>(VideoError::unrecognised);
    return failure(unrecognised ? kNoPicture : kCannotOpen);
  }
  run.asset = std::move(opened.value());
  if (run.asset->videoTracks().empty()) return failure(kNoPicture);
  run.track = run.asset->videoTracks().front();

  const bool turned = !run.track.displayMatrix.isIdentity();
  run.shown = turned ? run.track.uprightSize : run.track.storedSize;
  platform::Result<std::unique_ptr<VideoReader>> made =
      makeVideoReader(run.asset, run.track, turned ? FrameOrientation::upright : FrameOrientation::asStored);
  if (!made) return failure(kCannotOpen);
  run.reader = std::move(made.value());
  if (!run.reader->start()) return failure(kCannotRead);
  return {};
}

void sizeCutOut(MatteRun& run) {
  const CutOutSize size = cutOutSize(run.shown);
  run.width = size.width;
  run.height = size.height;
}

platform::Result<void> prepareWriter(MatteRun& run) {
  platform::Result<std::unique_ptr<VideoWriter>> created = VideoWriter::create(run.target);
  if (!created) {
    // Something appeared at the path after the check: it is left as it is.
    if (created.error().domain == platform::kVideoDomain &&
        created.error().code == static_cast<int64_t>(VideoError::fileExists)) {
      return failure(kOutputExists);
    }
    return failure(kCannotWrite);
  }
  run.writer = std::move(created.value());

  VideoWriterSettings settings;
  settings.width = static_cast<int>(run.width);
  settings.height = static_cast<int>(run.height);
  settings.averageBitRate = 1'800'000;
  settings.maxKeyFrameInterval = 12;
  settings.timeScale = run.track.timeScale;
  settings.frameRate = run.track.frameRate;
  // The masks are grey: drawn as one byte a pixel, they skip the BGRA picture and its conversion.
  settings.frameFormat = PixelFormat::gray8;
  if (const platform::Result<void> started = run.writer->start(settings); !started) {
    return failure(std::string(kCannotWrite) + ": " + reasonOf(started.error()));
  }
  return {};
}

void prepareSegmentation(MatteRun& run) { run.segmenter = platform::vision::makePersonSegmenter(); }

void countExpectedFrames(MatteRun& run) {
  run.expected = expectedFrameCount(run.asset->duration().seconds(), run.track.frameRate);
}

}  // namespace person_cutout
