#include "person_cutout/frame_stages.h"

#include <future>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "person_cutout/stage_queue.h"
#include "person_cutout/stop_signals.h"

namespace person_cutout {

using namespace platform::media;
using platform::Result;

namespace {

// Frames waiting between two stages. Two keep each stage busy while the next catches up, and
// keep the pictures alive at once within what the reader's pool holds (four): two waiting, one
// being made, one being used.
constexpr size_t kFramesBetweenStages = 2;

// What passes from one stage to the next: a frame, or how the stage ended. Ends and failures come
// last, after every frame before them.
template <typename Frame>
struct Passed {
  std::optional<Frame> frame;
  std::optional<platform::Error> failure;  // the stage stopped on this frame's failure
  bool readFailed = false;                 // the end: reading broke off rather than reached the end

  static Passed of(Frame frame) { return Passed{std::move(frame), std::nullopt, false}; }
  static Passed failed(platform::Error error) { return Passed{std::nullopt, std::move(error), false}; }
  static Passed end(bool readFailed) { return Passed{std::nullopt, std::nullopt, readFailed}; }
};

struct ReadFrame {
  std::shared_ptr<PixelBuffer> picture;
  MediaTime time;
};

using Read = Passed<ReadFrame>;
using Segmented = Passed<SegmentedFrame>;

// Reads every sample with a picture into `out`, then the end.
void readFrames(VideoReader& reader, StageQueue<Read>& out) {
  for (;;) {
    Result<std::optional<VideoSample>> sample = reader.nextSample();
    if (!sample || !sample.value()) {
      out.put(Read::end(!sample));
      return;
    }
    if (!sample.value()->picture) continue;
    if (!out.put(Read::of(ReadFrame{std::move(sample.value()->picture), sample.value()->time}))) return;
  }
}

// Segments the frames of `in` in order into `out`; stops at the first failure, passing it on, and
// closes `in` so that reading stops too.
void segmentFrames(MatteRun& run, StageQueue<Read>& in, StageQueue<Segmented>& out) {
  for (int64_t number = 0;; ++number) {
    std::optional<Read> taken = in.take();
    if (!taken) return;  // writing stopped
    Read& read = *taken;
    if (!read.frame) {
      out.put(Segmented::end(read.readFailed));
      return;
    }
    Result<SegmentedFrame> segmented = segmentFrame(run, *read.frame->picture, read.frame->time, number);
    read.frame.reset();  // the picture goes back to the reader's pool
    if (!segmented) {
      in.close();
      out.put(Segmented::failed(segmented.error()));
      return;
    }
    if (!out.put(Segmented::of(std::move(segmented.value())))) {
      in.close();
      return;
    }
  }
}

}  // namespace

Result<void> runFramesInStages(MatteRun& run, FrameTally& tally) {
  startFrameLoop(tally);
  StageQueue<Read> readQueue(kFramesBetweenStages);
  StageQueue<Segmented> segmentedQueue(kFramesBetweenStages);

  // The stages begin once both threads stand, so that a thread that cannot be had leaves the
  // reader untouched for the one-by-one loop.
  std::promise<bool> begin;
  std::shared_future<bool> begun = begin.get_future().share();
  std::thread reading, segmenting;
  try {
    reading = std::thread([&run, &readQueue, begun] {
      if (begun.get()) readFrames(*run.reader, readQueue);
    });
    segmenting = std::thread([&run, &readQueue, &segmentedQueue, begun] {
      if (begun.get()) segmentFrames(run, readQueue, segmentedQueue);
    });
  } catch (const std::system_error&) {
    begin.set_value(false);
    if (reading.joinable()) reading.join();
    return runFramesOneByOne(run, tally);
  }
  begin.set_value(true);

  Result<void> outcome;
  for (;;) {
    if (outcome = unlessStopped(); !outcome) break;
    // The segmenting stage always ends with an end or a failure.
    Segmented segmented = std::move(*segmentedQueue.take());
    if (segmented.frame) {
      outcome = writeFrame(run, tally, *segmented.frame);
      if (outcome) continue;
    } else if (segmented.failure) {
      outcome = *segmented.failure;
    } else {
      tally.readFailed = segmented.readFailed;
    }
    break;
  }
  // Whatever is still on its way is dropped; the stages see the closed queues and end.
  segmentedQueue.close();
  readQueue.close();
  reading.join();
  segmenting.join();
  return outcome;
}

}  // namespace person_cutout
