// Face boxes in look's records come from the face detector shared with `vision`.
#include <gtest/gtest.h>

#include <string>

#include "platform/vision/faces/face_requests.h"
#include "platform/vision/image_request_handler.h"
#include "platform/vision/text/text_request.h"
#include "text_reading/image_record.h"

namespace {

using namespace platform::vision;

const std::string kFixtures = TEST_FIXTURES_DIR;

TEST(FaceBoxes, APhotoWithOneFaceGivesItsBox) {
  TextRecognitionRequest textRequest;
  FaceRectanglesRequest faceRequest;
  ImageRequestHandler handler(kFixtures + "/faces/astronaut.jpg");
  ASSERT_TRUE(handler.perform({&textRequest, &faceRequest}));
  ASSERT_TRUE(faceRequest.results());
  ASSERT_EQ(faceRequest.results()->size(), 1u);
  const FaceObservation& face = faceRequest.results()->front();
  const platform::JsonArray box = text_reading::fromTop(face.boundingBox);
  const auto at = [&](size_t i) { return std::get<double>(box[i].get()); };
  // The astronaut's face fills about x 0.36 to 0.62 and y 0.10 to 0.45 from the top.
  EXPECT_NEAR(at(0) + at(2) / 2, 0.49, 0.08);  // centre x
  EXPECT_NEAR(at(1) + at(3) / 2, 0.27, 0.08);  // centre y, from the top
  EXPECT_GT(at(2), 0.12);
  EXPECT_LT(at(2), 0.45);
  EXPECT_GE(text_reading::round3(face.confidence), 0.5);
}

}  // namespace
