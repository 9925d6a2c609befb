// Prints what a .tflite model holds: its inputs and outputs with their shapes, and how many
// operations of each type it uses. Usage: model_info MODEL.tflite...
#include <cstdio>
#include <map>
#include <string>

#include "platform/nn/formats/tflite/tflite_reader.h"

int main(int argc, char** argv) {
  int status = 0;
  for (int a = 1; a < argc; ++a) {
    auto graph = platform::nn::readTfliteFile(argv[a]);
    if (!graph.ok()) {
      std::fprintf(stderr, "%s\n", graph.error().description.c_str());
      status = 1;
      continue;
    }
    const auto& g = graph.value();
    std::printf("%s\n", argv[a]);
    for (int i : g.inputs) {
      std::printf("  input  %-28s %s\n", g.tensors[i].name.c_str(),
                  platform::nn::shapeText(g.tensors[i].shape).c_str());
    }
    for (int i : g.outputs) {
      std::printf("  output %-28s %s\n", g.tensors[i].name.c_str(),
                  platform::nn::shapeText(g.tensors[i].shape).c_str());
    }
    std::map<std::string, int> counts;
    for (const auto& op : g.operations) ++counts[std::string(platform::nn::opName(op.type))];
    for (const auto& [name, count] : counts) std::printf("  %4d %s\n", count, name.c_str());
  }
  return status;
}
