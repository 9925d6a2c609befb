// Every MediaPipe model of the set loads and runs on a committed picture of what it is for, with
// a plausible result; the smaller ones also match the reference loops end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/media/still_image.h"
#include "platform/nn/execution/model_runtime.h"
#include "platform/nn/formats/tflite/tflite_reader.h"
#include "platform/nn/graph/graph_preparation.h"
#include "platform/nn/model.h"
#include "platform/nn/model_files.h"
#include "platform/nn/reference/reference_ops.h"

namespace platform::nn {
namespace {

float sigmoid(float x) { return 1.0f / (1.0f + std::exp(-std::clamp(x, -100.0f, 100.0f))); }

std::unique_ptr<Model> loadModel(const std::string& name) {
  auto model = Model::load(modelPath(name));
  EXPECT_TRUE(model.ok()) << model.error().description;
  return model.ok() ? std::move(model.value()) : nullptr;
}

// Fills input 0 with the fixture picture (already at the input size), pixels mapped to
// [low, high], and runs the model.
void runOnPicture(Model& model, const std::string& fixture, float low, float high) {
  auto image = media::decodeStillImage(std::string(TEST_FIXTURES_DIR) + "/people/" + fixture);
  ASSERT_TRUE(image.ok()) << image.error().description;
  const std::vector<int>& dims = model.inputShape(0).dims;
  ASSERT_EQ(dims.size(), 4u);
  ASSERT_EQ(image.value().height, dims[1]) << fixture;
  ASSERT_EQ(image.value().width, dims[2]) << fixture;
  float* in = model.input(0);
  const std::vector<uint8_t>& rgb = image.value().rgb;
  for (size_t i = 0; i < rgb.size(); ++i) in[i] = low + (high - low) * rgb[i] / 255.0f;
  Result<void> ran = model.run();
  ASSERT_TRUE(ran.ok()) << ran.error().description;
}

const float* output(const Model& model, const std::string& name) {
  auto index = model.outputIndex(name);
  EXPECT_TRUE(index.has_value()) << name;
  return index ? model.output(*index) : nullptr;
}

// The best detection's score and box centre (normalised), from a detector's raw outputs and the
// anchor grids it uses: `layers` of (grid size, anchors per cell).
struct Best {
  float score = 0;
  float x = 0, y = 0;
};
Best bestDetection(const Model& model, const std::string& boxes, const std::string& scores, int inputSize,
                   const std::vector<std::pair<int, int>>& layers) {
  const float* box = output(model, boxes);
  const float* score = output(model, scores);
  size_t stride = static_cast<size_t>(model.outputShape(*model.outputIndex(boxes)).dims.back());
  Best best;
  size_t index = 0;
  for (auto [grid, perCell] : layers) {
    for (int cell = 0; cell < grid * grid; ++cell) {
      for (int k = 0; k < perCell; ++k, ++index) {
        float s = sigmoid(score[index]);
        if (s <= best.score) continue;
        best.score = s;
        best.x = (cell % grid + 0.5f) / grid + box[index * stride] / inputSize;
        best.y = (cell / grid + 0.5f) / grid + box[index * stride + 1] / inputSize;
      }
    }
  }
  EXPECT_EQ(index, model.outputShape(*model.outputIndex(scores)).elementCount());
  return best;
}

TEST(MediaPipeModelsTest, FaceDetectorsFindTheAstronautsFace) {
  // The face lies within x 0.33-0.55, y 0.06-0.30 of the picture.
  struct Case {
    const char* model;
    const char* picture;
    int size;
    std::vector<std::pair<int, int>> layers;
    const char* boxes;
    const char* scores;
    float threshold;
  };
  const Case cases[] = {
      {"face_detection_short_range.tflite",
       "astronaut_128.jpg",
       128,
       {{16, 2}, {8, 6}},
       "regressors",
       "classificators",
       0.5f},
      {"face_detection_full_range.tflite",
       "astronaut_192.jpg",
       192,
       {{48, 1}},
       "reshaped_regressor_face_4",
       "reshaped_classifier_face_4",
       0.6f},
  };
  for (const Case& c : cases) {
    auto model = loadModel(c.model);
    ASSERT_TRUE(model);
    runOnPicture(*model, c.picture, -1, 1);
    Best best = bestDetection(*model, c.boxes, c.scores, c.size, c.layers);
    EXPECT_GT(best.score, c.threshold) << c.model;
    EXPECT_GT(best.x, 0.33f) << c.model;
    EXPECT_LT(best.x, 0.55f) << c.model;
    EXPECT_GT(best.y, 0.06f) << c.model;
    EXPECT_LT(best.y, 0.30f) << c.model;
  }
}

TEST(MediaPipeModelsTest, FaceMeshFitsTheCroppedFace) {
  auto model = loadModel("face_landmark.tflite");
  ASSERT_TRUE(model);
  runOnPicture(*model, "astronaut_face_192.jpg", 0, 1);
  EXPECT_GT(sigmoid(output(*model, "conv2d_31")[0]), 0.5f);
  const float* mesh = output(*model, "conv2d_21");  // 468 points of x, y, z in input pixels
  // Point 1 is the nose tip, 159 and 386 the upper eyelids, 13 the upper lip: the eyes sit above
  // the nose and the nose above the mouth, the right eye (picture left) left of the left eye.
  auto x = [&](int p) { return mesh[3 * p]; };
  auto y = [&](int p) { return mesh[3 * p + 1]; };
  EXPECT_LT(y(159), y(1));
  EXPECT_LT(y(386), y(1));
  EXPECT_LT(y(1), y(13));
  EXPECT_LT(x(159), x(386));
  EXPECT_GT(x(1), 60.0f);
  EXPECT_LT(x(1), 132.0f);
}

// The attention mesh's closer looks (its own crop, sampling and landmark operators) land on the
// features the plain mesh found, and the runtime agrees with the reference loops on a real face,
// where the crops fall where the model was trained to place them.
TEST(MediaPipeModelsTest, AttentionMeshLooksAgainAtTheEyesAndLips) {
  auto graph = readTfliteFile(modelPath("face_landmark_with_attention.tflite"));
  ASSERT_TRUE(graph.ok()) << graph.error().description;
  auto model = buildModel(graph.value());
  ASSERT_TRUE(model.ok()) << model.error().description;
  runOnPicture(*model.value(), "astronaut_face_192.jpg", 0, 1);
  EXPECT_GT(sigmoid(output(*model.value(), "conv_faceflag")[0]), 0.5f);
  const float* mesh = output(*model.value(), "output_mesh_identity");  // 468 x (x, y, z)
  // The model's left eye is the picture's left: the person's right eye, mesh points 33 to 133.
  const float* eye = output(*model.value(), "output_left_eye");    // 71 x (x, y), from mesh point 33
  const float* iris = output(*model.value(), "output_left_iris");  // 5 x (x, y), the centre first
  const float* lips = output(*model.value(), "output_lips");       // 80 x (x, y), from mesh point 61
  auto near = [&](const float* refined, int meshPoint) {
    return std::hypot(refined[0] - mesh[3 * meshPoint], refined[1] - mesh[3 * meshPoint + 1]);
  };
  EXPECT_LT(near(eye, 33), 4.0f);
  EXPECT_LT(near(eye + 2 * 8, 133), 4.0f);
  EXPECT_LT(near(lips, 61), 4.0f);
  EXPECT_LT(near(lips + 2 * 10, 291), 4.0f);
  // The iris centre lies between the eye's corners, nearer their middle than either corner.
  const float cornerGap = std::hypot(mesh[3 * 133] - mesh[3 * 33], mesh[3 * 133 + 1] - mesh[3 * 33 + 1]);
  EXPECT_LT(near(iris, 33), cornerGap * 0.75f);
  EXPECT_LT(near(iris, 133), cornerGap * 0.75f);

  Result<void> prepared = prepareGraph(&graph.value());
  ASSERT_TRUE(prepared.ok()) << prepared.error().description;
  const float* in = model.value()->input(0);
  auto expected = evaluateReference(graph.value(), {std::vector<float>(in, in + 192 * 192 * 3)});
  ASSERT_TRUE(expected.ok()) << expected.error().description;
  for (size_t o = 0; o < model.value()->outputCount(); ++o) {
    const std::vector<float>& want = expected.value()[graph.value().outputs[o]];
    const float* got = model.value()->output(o);
    float worst = 0;
    for (size_t i = 0; i < want.size(); ++i)
      worst = std::max(worst, std::fabs(got[i] - want[i]) / (1 + std::fabs(want[i])));
    EXPECT_LT(worst, 1e-3f) << "output " << o;
  }
}

TEST(MediaPipeModelsTest, SelfieSegmentationSeparatesThePersonFromTheBackground) {
  struct Case {
    const char* model;
    const char* picture;
  };
  for (const Case& c : {Case{"selfie_segmentation.tflite", "astronaut_256.jpg"},
                        Case{"selfie_segmentation_landscape.tflite", "astronaut_256x144.jpg"}}) {
    auto model = loadModel(c.model);
    ASSERT_TRUE(model);
    runOnPicture(*model, c.picture, 0, 1);
    const std::vector<int>& dims = model->outputShape(0).dims;
    const float* mask = model->output(0);
    // Mean mask over a region given in fractions of the picture.
    auto mean = [&](float x0, float y0, float x1, float y1) {
      double sum = 0;
      int count = 0;
      for (int y = int(y0 * dims[1]); y < int(y1 * dims[1]); ++y)
        for (int x = int(x0 * dims[2]); x < int(x1 * dims[2]); ++x, ++count) sum += mask[y * dims[2] + x];
      return sum / count;
    };
    EXPECT_GT(mean(0.36f, 0.08f, 0.52f, 0.25f), 0.8) << c.model << ": face";
    EXPECT_LT(mean(0.60f, 0.02f, 0.72f, 0.20f), 0.2) << c.model << ": background by the face";
    EXPECT_LT(mean(0.90f, 0.0f, 1.0f, 0.3f), 0.2) << c.model << ": background at the right";
  }
}

TEST(MediaPipeModelsTest, PoseDetectorFindsTheWalker) {
  auto model = loadModel("pose_detection.tflite");
  ASSERT_TRUE(model);
  runOnPicture(*model, "walker_224.jpg", -1, 1);
  Best best = bestDetection(*model, "Identity", "Identity_1", 224, {{28, 2}, {14, 2}, {7, 6}});
  EXPECT_GT(best.score, 0.5f);
  // The walker stands around x 0.45-0.60, y 0.2-0.7 of this crop.
  EXPECT_GT(best.x, 0.40f);
  EXPECT_LT(best.x, 0.65f);
  EXPECT_GT(best.y, 0.15f);
  EXPECT_LT(best.y, 0.75f);
}

TEST(MediaPipeModelsTest, PoseLandmarksPutTheHeadAboveTheFeet) {
  for (const char* name : {"pose_landmark_lite.tflite", "pose_landmark_full.tflite", "pose_landmark_heavy.tflite"}) {
    auto model = loadModel(name);
    ASSERT_TRUE(model);
    runOnPicture(*model, "walker_256.jpg", 0, 1);
    // The presence comes out of the model's own sigmoid already.
    EXPECT_GT(output(*model, "Identity_1")[0], 0.5f) << name << ": presence";
    const float* points = output(*model, "Identity");  // 39 points of x, y, z, visibility, presence
    auto y = [&](int p) { return points[5 * p + 1]; };
    // 0 nose, 11/12 shoulders, 23/24 hips, 27/28 ankles.
    EXPECT_LT(y(0), y(11)) << name;
    EXPECT_LT(y(11), y(23)) << name;
    EXPECT_LT(y(23), y(27)) << name;
    EXPECT_LT(y(24), y(28)) << name;
    EXPECT_GT(points[0], 64.0f) << name;
    EXPECT_LT(points[0], 192.0f) << name;
  }
}

TEST(MediaPipeModelsTest, PalmDetectorsFindTheHand) {
  for (const char* name : {"palm_detection_lite.tflite", "palm_detection_full.tflite"}) {
    auto model = loadModel(name);
    ASSERT_TRUE(model);
    runOnPicture(*model, "hand_192.jpg", 0, 1);
    Best best = bestDetection(*model, "Identity", "Identity_1", 192, {{24, 2}, {12, 6}});
    EXPECT_GT(best.score, 0.5f) << name;
    // The palm lies around x 0.4-0.65, y 0.45-0.8.
    EXPECT_GT(best.x, 0.35f) << name;
    EXPECT_LT(best.x, 0.70f) << name;
    EXPECT_GT(best.y, 0.40f) << name;
    EXPECT_LT(best.y, 0.85f) << name;
  }
}

TEST(MediaPipeModelsTest, HandLandmarksFollowTheRaisedFinger) {
  for (const char* name : {"hand_landmark_lite.tflite", "hand_landmark_full.tflite"}) {
    auto model = loadModel(name);
    ASSERT_TRUE(model);
    runOnPicture(*model, "hand_224.jpg", 0, 1);
    EXPECT_GT(output(*model, "Identity_1")[0], 0.5f) << name << ": presence (already a sigmoid)";
    const float* points = output(*model, "Identity");  // 21 points of x, y, z
    auto y = [&](int p) { return points[3 * p + 1]; };
    // 0 wrist, 8 index finger tip (raised), 12 middle finger tip (curled).
    EXPECT_LT(y(8), y(12)) << name;
    EXPECT_LT(y(8), y(0)) << name;
    EXPECT_LT(y(12), y(0)) << name;
  }
}

// The runtime and the reference loops agree on whole real models, which covers the operator
// mapping (padding, layouts, flags) as the models use it.
TEST(MediaPipeModelsTest, SmallModelsMatchTheReferenceLoops) {
  for (const char* name : {"face_detection_short_range.tflite", "selfie_segmentation.tflite"}) {
    auto graph = readTfliteFile(modelPath(name));
    ASSERT_TRUE(graph.ok()) << graph.error().description;
    auto model = buildModel(graph.value());
    ASSERT_TRUE(model.ok()) << model.error().description;
    Result<void> prepared = prepareGraph(&graph.value());
    ASSERT_TRUE(prepared.ok()) << prepared.error().description;
    std::vector<float> input(model.value()->inputShape(0).elementCount());
    for (size_t i = 0; i < input.size(); ++i) input[i] = std::sin(0.01f * i);
    std::copy(input.begin(), input.end(), model.value()->input(0));
    Result<void> ran = model.value()->run();
    ASSERT_TRUE(ran.ok()) << ran.error().description;
    auto expected = evaluateReference(graph.value(), {input});
    ASSERT_TRUE(expected.ok()) << expected.error().description;
    for (size_t o = 0; o < model.value()->outputCount(); ++o) {
      const std::vector<float>& want = expected.value()[graph.value().outputs[o]];
      const float* got = model.value()->output(o);
      float worst = 0;
      for (size_t i = 0; i < want.size(); ++i) {
        worst = std::max(worst, std::fabs(got[i] - want[i]) / (1.0f + std::fabs(want[i])));
      }
      EXPECT_LT(worst, 1e-3f) << name << " output " << o;
    }
  }
}

}  // namespace
}  // namespace platform::nn
