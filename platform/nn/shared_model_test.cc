#include "platform/nn/shared_model.h"

#include <gtest/gtest.h>

#include <thread>

namespace platform::nn {
namespace {

TEST(SharedModelTest, LoadsEachFileOnceAndGivesEveryCallerThatCopy) {
  SharedModel* seen[2] = {nullptr, nullptr};
  std::thread other([&] {
    Result<SharedModel*> model = sharedModel("selfie_segmentation_landscape.tflite", Threads::one);
    if (model.ok()) seen[1] = model.value();
  });
  Result<SharedModel*> first = sharedModel("selfie_segmentation_landscape.tflite", Threads::one);
  other.join();
  ASSERT_TRUE(first.ok()) << first.error().description;
  seen[0] = first.value();
  EXPECT_EQ(seen[0], seen[1]);
  ASSERT_NE(seen[0]->model, nullptr);
  EXPECT_EQ(seen[0]->model->inputShape(0).dims, (std::vector<int>{1, 144, 256, 3}));

  Result<SharedModel*> again = sharedModel("selfie_segmentation_landscape.tflite", Threads::one);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.value(), seen[0]);
  // Another thread choice is another runtime of the same file.
  Result<SharedModel*> pooled = sharedModel("selfie_segmentation_landscape.tflite", Threads::all);
  ASSERT_TRUE(pooled.ok());
  EXPECT_NE(pooled.value(), seen[0]);
}

TEST(SharedModelTest, AFileThatCannotBeLoadedFailsTheSameWayEveryTime) {
  Result<SharedModel*> first = sharedModel("no_such_model.tflite", Threads::one);
  ASSERT_FALSE(first.ok());
  EXPECT_NE(first.error().description.find("no_such_model.tflite"), std::string::npos) << first.error().description;
  Result<SharedModel*> second = sharedModel("no_such_model.tflite", Threads::one);
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.error().description, first.error().description);
}

}  // namespace
}  // namespace platform::nn
