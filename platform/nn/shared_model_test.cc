#include "platform/nn/shared_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace platform::nn {
namespace {

// Files no other test of this program loads, so that their read counts start at 0.
constexpr char kLandscape[] = "selfie_segmentation_landscape.tflite";
constexpr char kGeneral[] = "selfie_segmentation.tflite";

ModelPool& pool(const char* name, Threads threads = Threads::one) {
  Result<ModelPool*> found = sharedModel(name, threads);
  EXPECT_TRUE(found.ok()) << found.error().description;
  return *found.value();
}

// The model's output for an input of one repeated value.
std::vector<float> outputFor(ModelPool::Lease& model, float value) {
  std::fill_n(model->input(0), model->inputShape(0).elementCount(), value);
  EXPECT_TRUE(model.run().ok());
  return std::vector<float>(model->output(0), model->output(0) + model->outputShape(0).elementCount());
}

TEST(SharedModelTest, ReadsEachFileOnceWhateverTheCallersAndThreadChoices) {
  ModelPool* seen[2] = {nullptr, nullptr};
  std::thread other([&] { seen[1] = &pool(kLandscape); });
  seen[0] = &pool(kLandscape);
  other.join();
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(&pool(kLandscape), seen[0]);
  // Another thread choice is another pool, built from the same parsed file.
  ModelPool& pooled = pool(kLandscape, Threads::all);
  EXPECT_NE(&pooled, seen[0]);
  for (ModelPool* each : {seen[0], &pooled}) {
    Result<ModelPool::Lease> model = each->take();
    ASSERT_TRUE(model.ok());
    EXPECT_EQ(model.value()->inputShape(0).dims, (std::vector<int>{1, 144, 256, 3}));
  }
  EXPECT_EQ(modelFileReads(kLandscape), 1);
}

TEST(SharedModelTest, CallersHoldingRuntimesAtOnceGetOnesOfTheirOwnAndGiveThemBack) {
  ModelPool& general = pool(kGeneral);
  {
    Result<ModelPool::Lease> first = general.take();
    Result<ModelPool::Lease> second = general.take();
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_NE(&*first.value(), &*second.value());
    // Separate buffers: one caller's input does not change the other's output.
    const std::vector<float> dark = outputFor(first.value(), 0.1f);
    const std::vector<float> light = outputFor(second.value(), 0.9f);
    EXPECT_NE(dark, light);
    EXPECT_EQ(std::vector<float>(first.value()->output(0), first.value()->output(0) + dark.size()), dark);
  }
  const size_t built = general.runtimeCount();
  EXPECT_GE(built, 2u);
  // Taken one at a time, the runtimes given back serve again: no new ones.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(general.take().ok());
  EXPECT_EQ(general.runtimeCount(), built);
  EXPECT_EQ(modelFileReads(kGeneral), 1);
}

// Each thread keeps its runtime until the other has one too: with one runtime behind one lock
// the second would wait for ever, and the test fails after a few seconds instead.
TEST(SharedModelTest, TwoThreadsRunTheSameModelAtTheSameTime) {
  ModelPool& general = pool(kGeneral);
  std::mutex lock;
  std::condition_variable changed;
  int holding = 0;
  bool together[2] = {false, false};
  std::vector<float> outputs[2];
  const auto work = [&](int index) {
    Result<ModelPool::Lease> model = general.take();
    ASSERT_TRUE(model.ok());
    std::unique_lock hold(lock);
    ++holding;
    changed.notify_all();
    together[index] = changed.wait_for(hold, std::chrono::seconds(20), [&] { return holding == 2; });
    hold.unlock();
    outputs[index] = outputFor(model.value(), 0.5f);
  };
  std::thread other(work, 1);
  work(0);
  other.join();
  EXPECT_TRUE(together[0] && together[1]);
  EXPECT_EQ(outputs[0], outputs[1]);
  EXPECT_EQ(modelFileReads(kGeneral), 1);
}

TEST(SharedModelTest, AFileThatCannotBeLoadedIsTriedOnceAndFailsTheSameWayEveryTime) {
  Result<ModelPool*> first = sharedModel("no_such_model.tflite", Threads::one);
  ASSERT_FALSE(first.ok());
  EXPECT_NE(first.error().description.find("no_such_model.tflite"), std::string::npos) << first.error().description;
  for (const Threads threads : {Threads::one, Threads::all}) {
    Result<ModelPool*> again = sharedModel("no_such_model.tflite", threads);
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error().description, first.error().description);
  }
  EXPECT_EQ(modelFileReads("no_such_model.tflite"), 1);
}

}  // namespace
}  // namespace platform::nn
