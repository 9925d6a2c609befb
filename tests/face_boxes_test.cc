// Face boxes in look's records come from the face detector shared with `vision`.
#include <gtest/gtest.h>

#include <string>

#include "text_reading/image_reading.h"

namespace {

using platform::JsonArray;
using platform::JsonObject;

const std::string kFixtures = TEST_FIXTURES_DIR;

TEST(FaceBoxes, APhotoWithOneFaceGivesItsBox) {
  const JsonObject record = text_reading::analyseImage(kFixtures + "/faces/astronaut.jpg");
  ASSERT_TRUE(record.contains("faces"));
  const JsonArray& faces = std::get<JsonArray>(record.at("faces").get());
  ASSERT_EQ(faces.size(), 1u);
  const JsonObject& face = std::get<JsonObject>(faces.front().get());
  const JsonArray& box = std::get<JsonArray>(face.at("box").get());
  ASSERT_EQ(box.size(), 4u);
  const auto at = [&](size_t i) { return std::get<double>(box[i].get()); };
  // The astronaut's face fills about x 0.36 to 0.62 and y 0.10 to 0.45 from the top.
  EXPECT_NEAR(at(0) + at(2) / 2, 0.49, 0.08);  // centre x
  EXPECT_NEAR(at(1) + at(3) / 2, 0.27, 0.08);  // centre y, from the top
  EXPECT_GT(at(2), 0.12);
  EXPECT_LT(at(2), 0.45);
  EXPECT_GE(std::get<double>(face.at("confidence").get()), 0.5);
}

}  // namespace
