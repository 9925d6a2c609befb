// Where the time of reading one picture's text goes: milliseconds of building each model runtime
// (once per size, then kept), of one detector run, of one recogniser run per line width, and of
// the whole reading, beside decoding the picture (the peer, measured in the same run). One thread.
// Usage: text_stages PICTURE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/media/still_image.h"
#include "platform/nn/sized_model_pool.h"
#include "platform/vision/text/neural_text_reader.h"
#include "platform/vision/text/text_service.h"

namespace {

using namespace platform::vision;
using platform::nn::SizedModelPool;

double milliseconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(milliseconds(work));
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

template <typename T>
T orQuit(platform::Result<T> result, const char* what) {
  if (!result) {
    std::fprintf(stderr, "text_stages: %s: %s\n", what, result.error().description.c_str());
    std::exit(1);
  }
  return std::move(result.value());
}

void runModel(SizedModelPool* pool, const std::vector<int>& shape) {
  SizedModelPool::Lease lease = orQuit(pool->take(shape), "building");
  if (!lease.run().ok()) std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: text_stages PICTURE [RUNS]\n", stderr);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const platform::media::Image picture = orQuit(platform::media::decodeStillImage(argv[1]), "decoding");
  std::printf("picture %dx%d, one thread, medians of %d runs\n", picture.width, picture.height, runs);

  SizedModelPool* detector = nullptr;
  SizedModelPool* recogniser = nullptr;
  std::printf("%-36s %9.1f ms\n", "reading the detector file", milliseconds([&] {
                // Room for every runtime this program builds, so that each is measured once.
                detector = orQuit(platform::nn::sharedSizedModel("ch_PP-OCRv4_det_infer.onnx", platform::nn::Threads::one,
                                                                 size_t{3} * 2048 * 2048),
                                  "detector");
              }));
  std::printf("%-36s %9.1f ms\n", "reading the recogniser file", milliseconds([&] {
                recogniser = orQuit(platform::nn::sharedSizedModel("ch_PP-OCRv4_rec_infer.onnx",
                                                                   platform::nn::Threads::one, size_t{3} * 48 * 8192),
                                    "recogniser");
              }));
  for (int side : {640, 960}) {
    const std::vector<int> shape = {1, 3, side * 3 / 4 / 32 * 32, side};
    std::printf("detector %4dx%-4d: build %9.1f ms", side, side * 3 / 4,
                milliseconds([&] { runModel(detector, shape); }));
    std::printf(", run %9.1f ms\n", median(runs, [&] { runModel(detector, shape); }));
  }
  for (int width : {320, 640, 1280}) {
    const std::vector<int> shape = {1, 3, 48, width};
    std::printf("recogniser 48x%-4d: build %9.1f ms", width, milliseconds([&] { runModel(recogniser, shape); }));
    std::printf(", run %9.1f ms\n", median(runs, [&] { runModel(recogniser, shape); }));
  }
  std::vector<NeuralLine> lines;
  std::printf("%-36s %9.1f ms\n", "neural reading, first",
              milliseconds([&] { lines = orQuit(readLinesNeurally(picture.view()), "reading"); }));
  std::printf("%-36s %9.1f ms (%zu lines)\n", "neural reading, again",
              median(runs, [&] { lines = orQuit(readLinesNeurally(picture.view()), "reading"); }), lines.size());
  TextRecognitionOptions options;
  std::printf("%-36s %9.1f ms\n", "recognizeText, first",
              milliseconds([&] { (void)orQuit(recognizeText(picture.view(), options), "recognising"); }));
  std::printf("%-36s %9.1f ms\n", "recognizeText, again",
              median(runs, [&] { (void)orQuit(recognizeText(picture.view(), options), "recognising"); }));
  std::printf("%-36s %9.1f ms (peer)\n", "decoding the picture",
              median(runs, [&] { (void)platform::media::decodeStillImage(argv[1]); }));
  return 0;
}
