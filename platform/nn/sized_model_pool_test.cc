#include "platform/nn/sized_model_pool.h"

#include <gtest/gtest.h>

#include <vector>

namespace platform::nn {
namespace {

// The text models take pictures of any size (the recogniser, lines of any width); each test
// has a file of its own, since a process has one pool per file.
constexpr char kDetector[] = "ch_PP-OCRv4_det_infer.onnx";
constexpr char kRecogniser[] = "ch_PP-OCRv4_rec_infer.onnx";
// Room for a 32x32 and a 32x64 canvas, not for a 64x64 one.
constexpr size_t kKeptValues = 3 * (32 * 32 + 32 * 64);

std::vector<int> canvas(int height, int width) { return {1, 3, height, width}; }

// Takes and gives back a runtime of each size in turn.
void use(SizedModelPool& pool, const std::vector<std::vector<int>>& shapes) {
  for (const std::vector<int>& shape : shapes) {
    Result<SizedModelPool::Lease> model = pool.take(shape);
    ASSERT_TRUE(model.ok()) << model.error().description;
    EXPECT_EQ(model.value()->inputShape(0).dims, (std::vector<int>{1, shape[2], shape[3], 3}));
  }
}

TEST(SizedModelPoolTest, KeepsIdleRuntimesWithinItsBoundOfInputValuesDroppingTheOldestFirst) {
  Result<SizedModelPool*> found = sharedSizedModel(kDetector, Threads::one, kKeptValues);
  ASSERT_TRUE(found.ok()) << found.error().description;
  SizedModelPool& pool = *found.value();

  // Two small sizes fit: using them again builds nothing.
  use(pool, {canvas(32, 32), canvas(32, 64)});
  EXPECT_EQ(pool.builtCount(), 2);
  use(pool, {canvas(32, 32), canvas(32, 64), canvas(32, 32)});
  EXPECT_EQ(pool.builtCount(), 2);
  EXPECT_EQ(pool.idleCount(), 2u);

  // A size larger than the whole bound pushes both out, and is kept while it is the last given back ...
  use(pool, {canvas(64, 64)});
  EXPECT_EQ(pool.builtCount(), 3);
  EXPECT_EQ(pool.idleCount(), 1u);
  use(pool, {canvas(64, 64)});
  EXPECT_EQ(pool.builtCount(), 3);
  // ... and gives way to the next one.
  use(pool, {canvas(32, 32), canvas(64, 64)});
  EXPECT_EQ(pool.builtCount(), 5);
}

TEST(SizedModelPoolTest, CallersHoldingTheSameSizeAtOnceGetRuntimesOfTheirOwn) {
  Result<SizedModelPool*> found = sharedSizedModel(kRecogniser, Threads::one, 3 * 48 * 320);
  ASSERT_TRUE(found.ok()) << found.error().description;
  {
    Result<SizedModelPool::Lease> first = found.value()->take(canvas(48, 320));
    Result<SizedModelPool::Lease> second = found.value()->take(canvas(48, 320));
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_NE(&*first.value(), &*second.value());
  }
  // Given back, only one of them fits the bound.
  EXPECT_EQ(found.value()->idleCount(), 1u);
}

}  // namespace
}  // namespace platform::nn
