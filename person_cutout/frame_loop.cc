#include "person_cutout/frame_loop.h"

#include <sched.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "person_cutout/frame_stages.h"
#include "person_cutout/messages.h"
#include "person_cutout/stop_signals.h"

namespace person_cutout {

using namespace platform::media;

namespace {

constexpr MediaTime kStep{1, 600};  // how far a frame whose time does not rise is moved on

// The processors this process may run on (its affinity).
unsigned usableProcessors() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) return static_cast<unsigned>(CPU_COUNT(&allowed));
  return std::thread::hardware_concurrency();
}

}  // namespace

MediaTime writeTime(int64_t written, MediaTime sampleTime, MediaTime last) {
  if (written == 0 || sampleTime > last) return sampleTime;
  return add(last, kStep);
}

platform::Result<SegmentedFrame> segmentFrame(MatteRun& run, const PixelBuffer& picture, MediaTime sampleTime,
                                              int64_t number) {
  platform::Result<std::shared_ptr<PixelBuffer>> segmented = run.segmenter->segment(picture.view(), run.quality);
  if (!segmented) {
    return failure(std::string(kNoPerson) + std::to_string(number) + ": " + segmented.error().description);
  }
  if (!segmented.value()) return failure(std::string(kNoMask) + std::to_string(number));
  SegmentedFrame frame;
  frame.mask = std::move(segmented.value());
  frame.sampleTime = sampleTime;
  frame.measure = measureMask(*frame.mask);
  return frame;
}

platform::Result<void> writeFrame(MatteRun& run, FrameTally& tally, const SegmentedFrame& segmented) {
  const MaskMeasure& measure = segmented.measure;
  if (measure.measured) {
    tally.covered += measure.coverage;
    if (measure.personFrame) {
      ++tally.personFrames;
      if (measure.top) tally.tops.push_back(*measure.top);
    }
  }

  VideoWriter& writer = *run.writer;
  PixelBufferPool* pool = writer.bufferPool();
  if (pool == nullptr) return failure(kCannotWrite);
  const std::shared_ptr<PixelBuffer> frame = pool->makeBuffer();
  if (!frame) return failure(kOutOfMemory);
  // Stretched to cover the whole frame: the two scales are independent.
  const PixelBuffer& mask = *segmented.mask;
  const double across = static_cast<double>(run.width) / static_cast<double>(mask.width);
  const double down = static_cast<double>(run.height) / static_cast<double>(mask.height);
  if (const platform::Result<void> rendered = run.context.render(mask, across, down, *frame); !rendered) {
    return failure(std::string(kCannotWrite) + ": " + rendered.error().description);
  }

  // Wait while the writer holds us back; a writer that has stopped writing will never be ready,
  // and the append below reports why.
  while (!writer.readyForMoreFrames() && writer.status() == VideoWriterStatus::writing) usleep(2000);

  const MediaTime time = writeTime(tally.frames, segmented.sampleTime, tally.last);
  if (const platform::Result<void> appended = writer.append(*frame, time); !appended) {
    return failure(std::string(kCannotWrite) + ": " + reasonOf(appended.error()));
  }
  tally.last = time;
  ++tally.frames;
  if (tally.frames % 15 == 0) {
    note("progress " + std::to_string(tally.frames) + " " + std::to_string(std::max(run.expected, tally.frames)));
  }
  return {};
}

void startFrameLoop(FrameTally& tally) {
  tally = FrameTally{};
  tally.started = std::chrono::steady_clock::now();
}

platform::Result<void> runFrameLoop(MatteRun& run, FrameTally& tally) {
  if (usableProcessors() > 1) return runFramesInStages(run, tally);
  return runFramesOneByOne(run, tally);
}

platform::Result<void> runFramesOneByOne(MatteRun& run, FrameTally& tally) {
  startFrameLoop(tally);
  for (;;) {
    if (platform::Result<void> going = unlessStopped(); !going) return going;
    platform::Result<std::optional<VideoSample>> sample = run.reader->nextSample();
    if (!sample) {
      tally.readFailed = true;  // finishing tells this apart from the end
      return {};
    }
    if (!sample.value()) return {};
    if (!sample.value()->picture) continue;
    platform::Result<SegmentedFrame> segmented =
        segmentFrame(run, *sample.value()->picture, sample.value()->time, tally.frames);
    if (!segmented) return segmented.error();
    if (platform::Result<void> written = writeFrame(run, tally, segmented.value()); !written) return written;
  }
}

}  // namespace person_cutout
