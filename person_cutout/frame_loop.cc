#include "person_cutout/frame_loop.h"

#include <unistd.h>
#include <string>

#include "person_cutout/mask_statistics.h"
#include "person_cutout/messages.h"
#include "person_cutout/run_state.h"
#include "person_cutout/stop_signals.h"

namespace person_cutout {

using namespace platform::media;

namespace {

constexpr MediaTime kStep{1, 600};  // how far a frame whose time does not rise is moved on

// Segments, measures, draws and appends one frame.
platform::Result<void> handle(const PixelBuffer& picture, MediaTime sampleTime) {
  if (const platform::Result<void> done = vision->perform({&request}, picture); !done) {
    return failure(std::string(kNoPerson) + std::to_string(frames) + ": " + done.error().description);
  }
  const auto& results = request.results();
  if (!results || results->empty() || !results->front().pixelBuffer) {
    return failure(std::string(kNoMask) + std::to_string(frames));
  }
  const PixelBuffer& mask = *results->front().pixelBuffer;

  const MaskMeasure measure = measureMask(mask);
  if (measure.measured) {
    covered += measure.coverage;
    if (measure.personFrame) {
      ++personFrames;
      if (measure.top) tops.push_back(*measure.top);
    }
  }

  PixelBufferPool* pool = writer->bufferPool();
  if (pool == nullptr) return failure(kCannotWrite);
  const std::shared_ptr<PixelBuffer> frame = pool->makeBuffer();
  if (!frame) return failure(kOutOfMemory);
  // Stretched to cover the whole frame: the two scales are independent.
  const double across = static_cast<double>(width) / static_cast<double>(mask.width);
  const double down = static_cast<double>(height) / static_cast<double>(mask.height);
  if (const platform::Result<void> drawn = context.render(mask, across, down, *frame); !drawn) {
    return failure(std::string(kCannotWrite) + ": " + drawn.error().description);
  }

  // Wait while the writer holds us back; a writer that has stopped writing will never be ready,
  // and the append below reports why.
  while (!writer->readyForMoreFrames() && writer->status() == VideoWriterStatus::writing) usleep(2000);

  const MediaTime time = writeTime(frames, sampleTime, last);
  if (const platform::Result<void> appended = writer->append(*frame, time); !appended) {
    return failure(std::string(kCannotWrite) + ": " + reasonOf(appended.error()));
  }
  last = time;
  ++frames;
  if (frames % 15 == 0) note("progress " + std::to_string(frames) + " " + std::to_string(std::max(expected, frames)));
  return {};
}

}  // namespace

MediaTime writeTime(int64_t written, MediaTime sampleTime, MediaTime last) {
  if (written == 0 || sampleTime > last) return sampleTime;
  return add(last, kStep);
}

platform::Result<void> runFrameLoop() {
  frames = 0;
  personFrames = 0;
  covered = 0.0;
  tops.clear();
  last = kMediaTimeZero;
  readFailed = false;
  started = std::chrono::steady_clock::now();
  for (;;) {
    if (platform::Result<void> going = unlessStopped(); !going) return going;
    platform::Result<std::optional<VideoSample>> sample = reader->nextSample();
    if (!sample) {
      readFailed = true;  // finishing tells this apart from the end
      return {};
    }
    if (!sample.value()) return {};
    if (!sample.value()->picture) continue;
    if (platform::Result<void> handled = handle(*sample.value()->picture, sample.value()->time); !handled)
      return handled;
  }
}

}  // namespace person_cutout
