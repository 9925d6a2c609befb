#include "person_cutout/summary_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <future>
#include <memory>

#include "person_cutout/messages.h"

namespace person_cutout {

using namespace platform::media;

namespace {

// Finishes the file and waits until the writer has: it completes the file on a thread of its own
// and reports there, once, how it went.
platform::Result<void> finishWriting(VideoWriter& writer) {
  // Shared with the completion, which may still be returning from set_value when the wait ends.
  auto finished = std::make_shared<std::promise<platform::Result<void>>>();
  std::future<platform::Result<void>> outcome = finished->get_future();
  writer.finish([finished](platform::Result<void> how) { finished->set_value(std::move(how)); });
  return outcome.get();
}

}  // namespace

std::string fixedPoint(double value, int digits) {
  char text[400];  // room for the widest double in fixed notation
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
  return std::string(text, written.ptr);
}

double typicalTop(std::vector<double>& tops) {
  if (tops.empty()) return 0.0;
  std::sort(tops.begin(), tops.end());
  return tops[tops.size() / 2];
}

std::string summaryRecord(const Summary& summary) {
  const double frames = static_cast<double>(summary.frames);
  const double aspect = static_cast<double>(summary.width) / static_cast<double>(summary.height);
  return "{\"frames\": " + std::to_string(summary.frames) + ", \"width\": " + std::to_string(summary.width) +
         ", \"height\": " + std::to_string(summary.height) + ", \"seconds\": " + fixedPoint(summary.seconds, 2) +
         ", \"person_frames\": " + std::to_string(summary.personFrames) +
         ", \"coverage\": " + fixedPoint(summary.covered / frames, 4) + ", \"top\": " + fixedPoint(summary.top, 4) +
         ", \"aspect\": " + fixedPoint(aspect, 4) + "}";
}

platform::Result<Summary> finishCutOut(MatteRun& run, FrameTally& tally) {
  if (tally.readFailed) return failure(kReadBrokeOff);
  if (tally.frames < 1) return failure(kNoFrames);
  if (const platform::Result<void> finished = finishWriting(*run.writer); !finished) {
    return failure(std::string(kCannotFinish) + reasonOf(finished.error()));
  }
  Summary summary;
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tally.started).count();
  summary.frames = tally.frames;
  summary.width = run.width;
  summary.height = run.height;
  summary.personFrames = tally.personFrames;
  summary.covered = tally.covered;
  summary.top = typicalTop(tally.tops);
  return summary;
}

platform::Result<void> printSummary(const Summary& summary) {
  const std::string line = summaryRecord(summary) + "\n";
  // A summary that cannot be delivered is a failed run, not a silent success.
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) {
    return failure(kSummaryLost);
  }
  return {};
}

}  // namespace person_cutout
