// The operator table against the readers it names: a code or op type that the reader does not
// know, or that stands for another operator, would leave the row's operator unread.
#include "platform/nn/graph/operators.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/nn/formats/onnx/onnx_translation.h"
#include "platform/nn/formats/tflite/tflite_reader.h"

namespace platform::nn {
namespace {

TEST(OperatorTable, RowsAreInTheOrderOfTheirTypes) {
  for (size_t i = 0; i < kOperatorCount; ++i) {
    EXPECT_EQ(static_cast<size_t>(kOperators[i].type), i) << kOperators[i].name;
    EXPECT_EQ(&operatorInfo(kOperators[i].type), &kOperators[i]);
  }
}

TEST(OperatorTable, EachTfliteBuiltinCarriesTheSchemasNameAndOneOperator) {
  for (const OperatorInfo& op : kOperators) {
    if (op.tfliteBuiltin < 0) continue;
    EXPECT_EQ(tfliteBuiltinName(op.tfliteBuiltin), op.name);
    for (const OperatorInfo& other : kOperators) {
      if (&other != &op) {
        EXPECT_NE(other.tfliteBuiltin, op.tfliteBuiltin) << op.name << " and " << other.name;
      }
    }
  }
}

TEST(OperatorTable, CustomOperatorsKeepTheirFileNames) {
  for (const OperatorInfo& op : kOperators) {
    if (op.tfliteCustom.empty()) continue;
    EXPECT_EQ(op.tfliteCustom, op.name);  // what messages and model_info print
    EXPECT_EQ(op.tfliteBuiltin, -1) << op.name;
  }
}

TEST(OperatorTable, EachOnnxOpTypeIsOneTheTranslationTakes) {
  for (const OperatorInfo& op : kOperators) {
    std::istringstream words{std::string(op.onnxOpTypes)};
    for (std::string opType; words >> opType;) EXPECT_TRUE(translatesOnnxOperator(opType)) << op.name << ": " << opType;
  }
  EXPECT_FALSE(translatesOnnxOperator("LSTM"));
  EXPECT_FALSE(translatesOnnxOperator("add"));  // op types are case-sensitive
}

TEST(OperatorTable, LoadTimeOperatorsComeOnlyFromFiles) {
  // Folded into constants before a runtime is built: nothing may produce them but a reader.
  for (const OperatorInfo& op : kOperators) {
    if (op.engine == Engine::loadTime) {
      EXPECT_EQ(op.onnxOpTypes, "") << op.name;
    }
  }
}

}  // namespace
}  // namespace platform::nn
