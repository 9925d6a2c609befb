// Where a model's time goes: every operation of the model run alone on one thread (as a one-node
// model with the same shapes and weights), timed and summed by kind of operation, beside the
// whole model's time measured in the same run. Usage: nn_profile MODEL_FILE_NAME [--runs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/formats/tflite/tflite_reader.h"
#include "platform/nn/graph/graph_preparation.h"
#include "platform/nn/model.h"
#include "platform/nn/model_files.h"

namespace {

using namespace platform::nn;

// Runs the model once, or ends the program with XNNPACK's reason.
void runOrQuit(Model& model) {
  if (platform::Result<void> ran = model.run(); !ran.ok()) {
    std::fprintf(stderr, "run failed: %s\n", ran.error().description.c_str());
    std::exit(1);
  }
}

double medianMilliseconds(Model& model, int runs) {
  for (size_t i = 0; i < model.inputCount(); ++i) {
    std::fill_n(model.input(i), model.inputShape(i).elementCount(), 0.5f);
  }
  runOrQuit(model);
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    runOrQuit(model);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

std::string kind(const Graph& graph, const Operation& op) {
  std::string name(opName(op.type));
  if (op.type == OpType::conv2d || op.type == OpType::depthwiseConv2d || op.type == OpType::transposeConvBias) {
    const std::vector<int>& f = graph.tensors[op.inputs[1]].shape;
    name += ' ';
    name += std::to_string(f[1]);
    name += 'x';
    name += std::to_string(f[2]);
    if (op.options.strideH > 1) {
      name += " /";
      name += std::to_string(op.options.strideH);
    }
  }
  return name;
}

// The operation alone: its computed inputs become the graph's inputs, its constants stay.
Graph alone(const Graph& graph, const Operation& op) {
  Graph single;
  Operation copy = op;
  auto take = [&](int t, bool isInput) {
    single.tensors.push_back(graph.tensors[t]);
    int index = static_cast<int>(single.tensors.size()) - 1;
    if (isInput && !graph.tensors[t].constant) single.inputs.push_back(index);
    return index;
  };
  for (int& t : copy.inputs) {
    if (t >= 0) t = take(t, true);
  }
  copy.outputs = {take(op.outputs[0], false)};
  single.outputs = copy.outputs;
  single.operations = {copy};
  return single;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: nn_profile MODEL_FILE_NAME [--runs N]\n");
    return 2;
  }
  int runs = argc > 3 && std::strcmp(argv[2], "--runs") == 0 ? std::max(1, std::atoi(argv[3])) : 11;
  auto graph = readTfliteFile(modelPath(argv[1]));
  if (!graph.ok()) {
    std::fprintf(stderr, "%s\n", graph.error().description.c_str());
    return 1;
  }
  if (platform::Result<void> prepared = prepareGraph(&graph.value()); !prepared.ok()) {
    std::fprintf(stderr, "%s: %s\n", argv[1], prepared.error().description.c_str());
    return 1;
  }
  auto whole = buildModel(graph.value(), Threads::one);
  if (!whole.ok()) {
    std::fprintf(stderr, "%s\n", whole.error().description.c_str());
    return 1;
  }
  double wholeMs = medianMilliseconds(*whole.value(), runs);

  struct Sum {
    int count = 0;
    double ms = 0, macs = 0;
  };
  std::map<std::string, Sum> sums;
  double total = 0;
  for (const Operation& op : graph.value().operations) {
    auto model = buildModel(alone(graph.value(), op), Threads::one);
    if (!model.ok()) {
      std::fprintf(stderr, "%s\n", model.error().description.c_str());
      return 1;
    }
    double ms = medianMilliseconds(*model.value(), runs);
    Sum& sum = sums[kind(graph.value(), op)];
    ++sum.count;
    sum.ms += ms;
    sum.macs += model.value()->multiplyAdds();
    total += ms;
  }
  std::printf("%s: whole model %.2f ms on one thread; operations alone add up to %.2f ms\n", argv[1], wholeMs, total);
  std::printf("%-34s %5s %9s %6s %9s %8s\n", "operation", "count", "ms", "share", "MMAC", "GFLOP/s");
  std::vector<std::pair<std::string, Sum>> rows(sums.begin(), sums.end());
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
  for (const auto& [name, sum] : rows) {
    std::printf("%-34s %5d %9.3f %5.1f%% %9.1f %8.1f\n", name.c_str(), sum.count, sum.ms, 100 * sum.ms / total,
                sum.macs / 1e6, sum.macs > 0 ? 2 * sum.macs / sum.ms / 1e6 : 0.0);
  }
  return 0;
}
