// Milliseconds per inference of each MediaPipe model on one thread and on all threads (the
// process pool), with each model's multiply-adds so the achieved GFLOP/s shows. The peer line is
// one large 3x3 convolution on XNNPACK, measured in the same run: what this machine reaches on
// the operation that dominates the models.
// Usage: nn_bench [--runs N] [MODEL_FILE_NAME...]   (default: every model of the set)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/model.h"
#include "platform/nn/model_files.h"
#include "platform/nn/testing/test_graphs.h"

namespace {

using platform::nn::Model;
using platform::nn::Threads;

const char* const kModels[] = {
    "face_detection_short_range.tflite",
    "face_detection_full_range.tflite",
    "face_landmark.tflite",
    "face_landmark_with_attention.tflite",
    "pose_detection.tflite",
    "pose_landmark_lite.tflite",
    "pose_landmark_full.tflite",
    "pose_landmark_heavy.tflite",
    "palm_detection_lite.tflite",
    "palm_detection_full.tflite",
    "hand_landmark_lite.tflite",
    "hand_landmark_full.tflite",
    "selfie_segmentation.tflite",
    "selfie_segmentation_landscape.tflite",
};

// Median milliseconds of `runs` inferences after two warm-up runs.
double medianMilliseconds(Model& model, int runs) {
  for (size_t i = 0; i < model.inputCount(); ++i) {
    float* in = model.input(i);
    for (size_t k = 0; k < model.inputShape(i).elementCount(); ++k) in[k] = 0.5f;
  }
  for (int i = 0; i < 2; ++i) (void)model.run();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    if (platform::Result<void> ran = model.run(); !ran.ok()) {
      std::fprintf(stderr, "run failed: %s\n", ran.error().description.c_str());
      std::exit(1);
    }
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

void printRow(const char* name, double macs, double ms1, double msAll, unsigned threads) {
  double gflops1 = 2 * macs / ms1 / 1e6, gflopsAll = 2 * macs / msAll / 1e6;
  std::printf("%-38s %8.1f %9.2f %8.1f %9.2f %8.1f %10.1f\n", name, macs / 1e6, ms1, gflops1, msAll, gflopsAll,
              gflopsAll / threads);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 15;
  std::vector<std::string> names;
  for (int a = 1; a < argc; ++a) {
    if (std::strcmp(argv[a], "--runs") == 0 && a + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++a]));
    } else {
      names.push_back(argv[a]);
    }
  }
  if (names.empty()) names.assign(std::begin(kModels), std::end(kModels));
  unsigned threads = std::max(1u, std::thread::hardware_concurrency());

  std::printf("median of %d runs; %u threads in the pool; GFLOP/s counts a multiply-add as 2\n", runs, threads);
  std::printf("%-38s %8s %9s %8s %9s %8s %10s\n", "model", "MMAC", "ms 1 thr", "GFLOP/s", "ms all", "GFLOP/s",
              "per thread");

  // Peer: one 3x3 convolution, 56x56x128 -> 128 channels, as XNNPACK runs it.
  {
    platform::nn::testing::GraphBuilder b;
    platform::nn::OpOptions same;
    same.padding = platform::nn::Padding::same;
    int out = b.op(platform::nn::OpType::conv2d,
                   {b.input({1, 56, 56, 128}), b.weights({128, 3, 3, 128}), b.weights({128})}, same);
    b.output(out);
    auto one = platform::nn::buildModel(b.graph(), Threads::one);
    auto all = platform::nn::buildModel(b.graph(), Threads::all);
    if (one.ok() && all.ok()) {
      printRow("peer: one 3x3 conv 56x56x128->128", one.value()->multiplyAdds(), medianMilliseconds(*one.value(), runs),
               medianMilliseconds(*all.value(), runs), threads);
    }
  }

  for (const std::string& name : names) {
    auto one = Model::load(platform::nn::modelPath(name), Threads::one);
    auto all = Model::load(platform::nn::modelPath(name), Threads::all);
    if (!one.ok() || !all.ok()) {
      std::fprintf(stderr, "%s\n", (one.ok() ? all.error() : one.error()).description.c_str());
      return 1;
    }
    double ms1 = medianMilliseconds(*one.value(), runs);
    double msAll = medianMilliseconds(*all.value(), runs);
    printRow(name.c_str(), one.value()->multiplyAdds(), ms1, msAll, threads);
  }
  return 0;
}
