#include "person_cutout/summary_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "person_cutout/messages.h"
#include "person_cutout/run_state.h"

namespace person_cutout {

using namespace platform::media;

namespace {

// The completion handler: it keeps how finishing went and signals `done`.
void signalDone(platform::Result<void> outcome) {
  finishing = std::move(outcome);
  done->release();
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

std::string summaryRecord(int64_t frames, int64_t width, int64_t height, double seconds, int64_t personFrames,
                          double covered, double top) {
  return "{\"frames\": " + std::to_string(frames) + ", \"width\": " + std::to_string(width) +
         ", \"height\": " + std::to_string(height) + ", \"seconds\": " + fixedPoint(seconds, 2) +
         ", \"person_frames\": " + std::to_string(personFrames) +
         ", \"coverage\": " + fixedPoint(covered / static_cast<double>(frames), 4) +
         ", \"top\": " + fixedPoint(top, 4) +
         ", \"aspect\": " + fixedPoint(static_cast<double>(width) / static_cast<double>(height), 4) + "}";
}

platform::Result<void> finishCutOut() {
  if (readFailed) return failure(kReadBrokeOff);
  if (frames < 1) return failure(kNoFrames);
  done = std::make_unique<std::binary_semaphore>(0);
  writer->finish(signalDone);
  done->acquire();
  if (!finishing) return failure(std::string(kCannotFinish) + reasonOf(finishing.error()));
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  top = typicalTop(tops);
  return {};
}

platform::Result<void> printSummary() {
  const std::string line = summaryRecord(frames, width, height, seconds, personFrames, covered, top) + "\n";
  // A summary that cannot be delivered is a failed run, not a silent success.
  if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) {
    return failure(kSummaryLost);
  }
  return {};
}

}  // namespace person_cutout
