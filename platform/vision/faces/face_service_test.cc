// The face service on committed photos with the real models (fetched by scripts/setup.sh).
#include "platform/vision/faces/face_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

#include "platform/media/still_image.h"
#include "platform/nn/formats/tflite/tflite_reader.h"
#include "platform/nn/model_files.h"
#include "platform/vision/faces/canonical_face.h"
#include "platform/vision/faces/face_detector.h"
#include "platform/vision/faces/face_regions.h"
#include "platform/vision/faces/refined_mesh.h"
#include "platform/vision/test_threads.h"

namespace platform::vision {
namespace {

constexpr double kDegree = std::numbers::pi / 180;

media::Image fixture(const std::string& name, const std::string& folder = "faces") {
  Result<media::Image> image = media::decodeStillImage(std::string(TEST_FIXTURES_DIR) + "/" + folder + "/" + name);
  EXPECT_TRUE(image.ok()) << name;
  return image.ok() ? std::move(image.value()) : media::Image{};
}

// The picture transformed pixel by pixel: `source(x, y)` names the source pixel of each target pixel.
template <typename Source>
media::Image remapped(const media::Image& image, int width, int height, Source source) {
  media::Image result{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto [sx, sy] = source(x, y);
      for (int c = 0; c < 3; ++c)
        result.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] =
            image.rgb[(static_cast<size_t>(sy) * image.width + sx) * 3 + c];
    }
  }
  return result;
}

media::Image mirrored(const media::Image& image) {
  return remapped(image, image.width, image.height, [&](int x, int y) { return std::pair{image.width - 1 - x, y}; });
}

// Turned a quarter counter-clockwise as a person sees it.
media::Image turnedLeft(const media::Image& image) {
  return remapped(image, image.height, image.width, [&](int x, int y) { return std::pair{image.width - 1 - y, x}; });
}

media::Image turnedRight(const media::Image& image) {
  return remapped(image, image.height, image.width, [&](int x, int y) { return std::pair{y, image.height - 1 - x}; });
}

std::vector<FaceObservation> faces(const media::Image& image) {
  Result<std::vector<FaceObservation>> found = detectFaceLandmarks(image.view());
  EXPECT_TRUE(found.ok()) << (found.ok() ? "" : found.error().description);
  return found.ok() ? found.value() : std::vector<FaceObservation>{};
}

Point centre(const LandmarkRegion& region) {
  Point sum;
  for (const Point& p : region.normalizedPoints) sum.x += p.x, sum.y += p.y;
  return {sum.x / region.normalizedPoints.size(), sum.y / region.normalizedPoints.size()};
}

// Twice the signed area; negative for a contour that runs clockwise in a y-up frame.
double signedArea(const std::vector<Point>& points) {
  double area = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const Point& a = points[i];
    const Point& b = points[(i + 1) % points.size()];
    area += a.x * b.y - b.x * a.y;
  }
  return area;
}

TEST(FaceService, FindsEveryFaceOfTheFixturesMostConfidentFirst) {
  const struct {
    const char* name;
    size_t count;
  } cases[] = {{"astronaut.jpg", 1}, {"turned.jpg", 1}, {"group.jpg", 3}, {"no_face.jpg", 0}};
  for (const auto& c : cases) {
    const media::Image image = fixture(c.name);
    const std::vector<FaceObservation> found = faces(image);
    ASSERT_EQ(found.size(), c.count) << c.name;
    const Result<std::vector<FaceObservation>> rectangles = detectFaceRectangles(image.view());
    ASSERT_TRUE(rectangles.ok()) << c.name;
    ASSERT_EQ(rectangles.value().size(), c.count) << c.name;
    for (size_t i = 0; i < found.size(); ++i) {
      if (i > 0) {
        EXPECT_GE(found[i - 1].confidence, found[i].confidence) << c.name;
      }
      EXPECT_TRUE(found[i].landmarks && found[i].yaw && found[i].pitch && found[i].roll) << c.name;
      EXPECT_GT(found[i].confidence, 0.6f) << c.name;
      EXPECT_LE(found[i].confidence, 1.0f) << c.name;
      // Face rectangles are the same detector's boxes, without landmarks or angles.
      EXPECT_DOUBLE_EQ(rectangles.value()[i].boundingBox.x, found[i].boundingBox.x) << c.name;
      EXPECT_FALSE(rectangles.value()[i].landmarks || rectangles.value()[i].yaw) << c.name;
    }
  }
}

TEST(FaceService, RegionsFollowThePersonsOwnLeftAndRightAndRunClockwise) {
  const std::vector<FaceObservation> found = faces(fixture("astronaut.jpg"));
  ASSERT_EQ(found.size(), 1u);
  const FaceLandmarks& l = *found[0].landmarks;
  // Facing the camera, the person's left eye is on the right of the picture.
  EXPECT_GT(centre(*l.leftEye).x, centre(*l.rightEye).x + 0.2);
  EXPECT_GT(centre(*l.leftEyebrow).x, centre(*l.rightEyebrow).x + 0.2);
  EXPECT_GT(l.leftPupil->normalizedPoints[0].x, l.rightPupil->normalizedPoints[0].x + 0.2);
  // Top to bottom (y up): eyebrows, eyes, nose, lips, all inside the box.
  EXPECT_GT(centre(*l.leftEyebrow).y, centre(*l.leftEye).y);
  EXPECT_GT(centre(*l.leftEye).y, centre(*l.nose).y);
  EXPECT_GT(centre(*l.nose).y, centre(*l.outerLips).y);
  for (const auto* region :
       {&l.leftEye, &l.rightEye, &l.leftEyebrow, &l.rightEyebrow, &l.outerLips, &l.innerLips, &l.nose}) {
    EXPECT_LT(signedArea((*region)->normalizedPoints), 0);
    for (const Point& p : (*region)->normalizedPoints) {
      EXPECT_TRUE(p.x > 0 && p.x < 1 && p.y > 0 && p.y < 1) << p.x << "," << p.y;
    }
  }
}

// How far a pupil lies from the centre of its eye's opening, along the line from the eye's first
// contour point (its corner on the picture's left) to its ninth (the other corner), in eye widths:
// positive towards the picture's right.
double pupilShift(const LandmarkRegion& eye, const LandmarkRegion& pupil) {
  const Point& a = eye.normalizedPoints[0];
  const Point& b = eye.normalizedPoints[8];
  const Point middle = centre(eye);
  const Point& p = pupil.normalizedPoints[0];
  const double ax = b.x - a.x, ay = b.y - a.y;
  return ((p.x - middle.x) * ax + (p.y - middle.y) * ay) / (ax * ax + ay * ay);
}

TEST(FaceService, PupilsFollowEyesTurnedToOneSide) {
  // She turns her head to her right and looks back into the camera: both irises sit towards the
  // picture's right of her eye openings, and towards its left in the mirrored picture.
  const media::Image picture = fixture("eyes_turned.jpg", "people");
  for (const bool mirror : {false, true}) {
    const std::vector<FaceObservation> found = faces(mirror ? mirrored(picture) : picture);
    ASSERT_EQ(found.size(), 1u) << mirror;
    const FaceLandmarks& l = *found[0].landmarks;
    const double side = mirror ? -1 : 1;
    EXPECT_GT(side * pupilShift(*l.leftEye, *l.leftPupil), 0.04) << mirror;
    EXPECT_GT(side * pupilShift(*l.rightEye, *l.rightPupil), 0.04) << mirror;
  }
  // Looking straight into the camera, the pupils sit in the middle of the openings.
  const std::vector<FaceObservation> straight = faces(fixture("astronaut.jpg"));
  ASSERT_FALSE(straight.empty());
  const FaceLandmarks& frontal = *straight[0].landmarks;
  EXPECT_LT(std::abs(pupilShift(*frontal.leftEye, *frontal.leftPupil)), 0.04);
  EXPECT_LT(std::abs(pupilShift(*frontal.rightEye, *frontal.rightPupil)), 0.04);
}

// The refined mesh's lists are the points that the model's own crops are placed around, in the
// model's order: a newer model file with other lists would scatter the refined points.
TEST(FaceService, RefinedPointsAreThoseTheModelLooksAgainAt) {
  Result<nn::Graph> graph = nn::readTfliteFile(nn::modelPath("face_landmark_with_attention.tflite"));
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  std::vector<std::vector<int>> subsets;
  for (const nn::Operation& op : graph.value().operations) {
    if (op.type == nn::OpType::landmarksToTransformMatrix) subsets.push_back(op.options.crop.subset);
  }
  ASSERT_EQ(subsets.size(), 3u);
  EXPECT_EQ(subsets[0], kRefinedLipPoints);
  EXPECT_EQ(subsets[1], kRefinedRightEyePoints);
  EXPECT_EQ(subsets[2], kRefinedLeftEyePoints);
}

TEST(FaceService, ContourTablesRunClockwiseOnTheCanonicalFace) {
  const Result<CanonicalFace> canonical =
      loadCanonicalFace(nn::modelPath("geometry_pipeline_metadata_landmarks.binarypb"));
  ASSERT_TRUE(canonical.ok()) << canonical.error().description;
  for (const std::vector<int>* table : {&kRightEyeContour, &kLeftEyeContour, &kRightEyebrowContour,
                                        &kLeftEyebrowContour, &kOuterLipsContour, &kInnerLipsContour, &kNoseContour}) {
    std::vector<Point> outline;
    for (const int index : *table)
      outline.push_back({canonical.value().vertices[index].x, canonical.value().vertices[index].y});
    EXPECT_LT(signedArea(outline), 0) << (*table)[0];
  }
  // The canonical face's x axis points to the person's left.
  EXPECT_GT(canonical.value().vertices[kLeftEyeContour[0]].x, 0);
  EXPECT_LT(canonical.value().vertices[kRightEyeContour[0]].x, 0);
}

TEST(FaceService, AMirroredPictureNegatesYawAndRoll) {
  const media::Image turned = fixture("turned.jpg");
  const std::vector<FaceObservation> original = faces(turned);
  const std::vector<FaceObservation> flipped = faces(mirrored(turned));
  ASSERT_EQ(original.size(), 1u);
  ASSERT_EQ(flipped.size(), 1u);
  // The cameraman turns to his own left, towards the right of the picture.
  EXPECT_GT(*original[0].yaw, 25 * kDegree);
  EXPECT_LT(*flipped[0].yaw, -25 * kDegree);
  EXPECT_NEAR(*flipped[0].yaw, -*original[0].yaw, 8 * kDegree);
  EXPECT_NEAR(*flipped[0].roll, -*original[0].roll, 8 * kDegree);
  const NormalizedRect& a = original[0].boundingBox;
  const NormalizedRect& b = flipped[0].boundingBox;
  EXPECT_NEAR(b.x, 1 - a.x - a.width, 0.02);
  EXPECT_NEAR(b.y, a.y, 0.02);
}

TEST(FaceService, APictureTurnedAQuarterTurnsRollAQuarter) {
  const media::Image frontal = fixture("astronaut.jpg");
  const std::vector<FaceObservation> upright = faces(frontal);
  const std::vector<FaceObservation> left = faces(turnedLeft(frontal));
  const std::vector<FaceObservation> right = faces(turnedRight(frontal));
  ASSERT_EQ(upright.size(), 1u);
  ASSERT_EQ(left.size(), 1u);
  ASSERT_EQ(right.size(), 1u);
  EXPECT_NEAR(*left[0].roll - *upright[0].roll, 90 * kDegree, 10 * kDegree);
  EXPECT_NEAR(*right[0].roll - *upright[0].roll, -90 * kDegree, 10 * kDegree);
  // The regions turn with the face: in the picture turned left the person's left eye is above
  // the right one.
  EXPECT_GT(centre(*left[0].landmarks->leftEye).y, centre(*left[0].landmarks->rightEye).y + 0.2);
}

TEST(FaceService, PixelLayoutsAndTinyPicturesAreHandled) {
  const media::Image frontal = fixture("astronaut.jpg");
  std::vector<uint8_t> bgra;
  for (size_t i = 0; i < frontal.rgb.size(); i += 3)
    bgra.insert(bgra.end(), {frontal.rgb[i + 2], frontal.rgb[i + 1], frontal.rgb[i], 255});
  const media::ImageView view{bgra.data(), frontal.width, frontal.height, frontal.width * 4, media::PixelFormat::bgra8};
  const Result<std::vector<FaceObservation>> fromBgra = detectFaceLandmarks(view);
  ASSERT_TRUE(fromBgra.ok());
  ASSERT_EQ(fromBgra.value().size(), 1u);
  EXPECT_NEAR(fromBgra.value()[0].boundingBox.x, faces(frontal)[0].boundingBox.x, 1e-6);

  const media::Image onePixel{1, 1, {200, 150, 100}};
  EXPECT_TRUE(faces(onePixel).empty());
}

// A view wholly within a black border is answered from the model's one run on padding: views of
// the picture around it must still be run, and find what they found before any such view.
TEST(FaceService, ViewsOfTheBlackBorderLeaveViewsOfThePictureAlone) {
  const media::Image face = fixture("astronaut.jpg");
  ASSERT_GT(face.width, 0);
  // The picture pillarboxed: as wide again of black on each side.
  const media::Image framed = remapped(face, 3 * face.width, face.height, [&](int x, int y) {
    return std::pair{std::clamp(x - face.width, 0, face.width - 1), y};
  });
  media::Image black = framed;
  for (size_t i = 0; i < black.rgb.size(); ++i) {
    const size_t x = i / 3 % static_cast<size_t>(black.width);
    if (x < size_t(face.width) || x >= 2 * size_t(face.width)) black.rgb[i] = 0;
  }
  Result<SsdDetector> detector = SsdDetector::load(faceDetectorSettings());
  ASSERT_TRUE(detector.ok());
  const double side = face.height;
  const double small = face.width / 2.0;  // views of the border, with room to move in it
  const RotatedRect picture{1.5 * face.width, side / 2, side, side, 0}, border{small / 2, side / 2, small, small, 0};
  const auto boxes = [&](const RotatedRect& area) {
    Result<SsdFindings> seen = detector.value().detectIn(black.view(), area, 0.1f);
    EXPECT_TRUE(seen.ok());
    std::vector<std::array<double, 5>> found;
    for (const std::vector<Detection>* group : {&seen.value().found, &seen.value().doubtful})
      for (const Detection& d : *group) found.push_back({d.box.xMin, d.box.yMin, d.box.width, d.box.height, d.score});
    return found;
  };
  const auto before = boxes(picture);
  ASSERT_FALSE(before.empty());
  const auto inBorder = boxes(border);
  for (const auto& found : inBorder) EXPECT_LT(found[4], faceDetectorSettings().minScore) << "a face in the black";
  EXPECT_EQ(boxes(border), inBorder);
  EXPECT_EQ(boxes(picture), before);
  // Any findings in the border are the padding's, wherever the view lies in it.
  const auto farther = boxes({small / 2 + 3, side / 2, small, small, 0});
  ASSERT_EQ(farther.size(), inBorder.size());
  for (size_t i = 0; i < farther.size(); ++i) EXPECT_NEAR(farther[i][0], inBorder[i][0] + 3, 1e-9);
}

TEST(FaceService, PicturesWithoutPixelsAreRefusedAsTheServicesOwnFailure) {
  const media::Image frontal = fixture("astronaut.jpg");
  media::ImageView shortRows = frontal.view();
  shortRows.bytesPerRow = frontal.width;
  for (const media::ImageView& view : {media::ImageView{}, shortRows}) {
    for (const Result<std::vector<FaceObservation>>& found : {detectFaceLandmarks(view), detectFaceRectangles(view)}) {
      ASSERT_FALSE(found.ok());
      EXPECT_EQ(found.error().domain, kFacesDomain);
      EXPECT_EQ(found.error().code, static_cast<int64_t>(FaceError::noPixels));
    }
  }
}

// Both threads go through the pictures at the same time, in opposite orders, and must find
// exactly what one thread alone finds.
TEST(FaceService, TwoThreadsAtOnceFindWhatOneThreadFinds) {
  const std::vector<media::Image> pictures = {fixture("group.jpg"), fixture("turned.jpg"), fixture("astronaut.jpg")};
  using Found = std::vector<std::vector<FaceObservation>>;
  Found landmarksAlone, rectanglesAlone;
  for (const media::Image& picture : pictures) {
    landmarksAlone.push_back(faces(picture));
    rectanglesAlone.push_back(detectFaceRectangles(picture.view()).value());
  }
  const auto together = testing::onTwoThreadsAtOnce([&](int thread) {
    std::pair<Found, Found> found{Found(pictures.size()), Found(pictures.size())};
    for (size_t k = 0; k < pictures.size(); ++k) {
      const size_t i = thread == 0 ? k : pictures.size() - 1 - k;
      const Result<std::vector<FaceObservation>> landmarks = detectFaceLandmarks(pictures[i].view());
      const Result<std::vector<FaceObservation>> rectangles = detectFaceRectangles(pictures[i].view());
      if (landmarks.ok()) found.first[i] = landmarks.value();
      if (rectangles.ok()) found.second[i] = rectangles.value();
    }
    return found;
  });
  for (int thread = 0; thread < 2; ++thread) {
    EXPECT_TRUE(together[thread].first == landmarksAlone) << "landmarks on thread " << thread;
    EXPECT_TRUE(together[thread].second == rectanglesAlone) << "rectangles on thread " << thread;
  }
  EXPECT_EQ(landmarksAlone[0].size(), 3u);
}

}  // namespace
}  // namespace platform::vision
