#include "platform/vision/segmentation/guided_filter.h"

#include <gtest/gtest.h>

#include <random>

namespace platform::vision {
namespace {

FloatPlane randomPlane(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  FloatPlane plane;
  plane.resize(width, height);
  for (float& v : plane.values) v = value(random);
  return plane;
}

TEST(BoxMeanTest, MatchesThePlainMeanOverTheWindowInsideThePlane) {
  struct Case {
    int width, height, radius;
  };
  // Windows smaller than the plane, as wide as it, and wider than it in one or both directions.
  const Case cases[] = {{17, 11, 1}, {17, 11, 3}, {5, 9, 4}, {9, 3, 2}, {1, 1, 2}, {1, 7, 1}, {7, 1, 1}, {4, 4, 10}};
  for (const Case& c : cases) {
    const FloatPlane in = randomPlane(c.width, c.height, static_cast<unsigned>(c.width * 100 + c.radius));
    FloatPlane out;
    std::vector<float> columns;
    boxMean(in, c.radius, out, columns);
    ASSERT_EQ(out.width, c.width);
    ASSERT_EQ(out.height, c.height);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        double sum = 0;
        int count = 0;
        for (int j = std::max(0, y - c.radius); j <= std::min(c.height - 1, y + c.radius); ++j)
          for (int i = std::max(0, x - c.radius); i <= std::min(c.width - 1, x + c.radius); ++i, ++count)
            sum += in.row(j)[i];
        EXPECT_NEAR(out.row(y)[x], sum / count, 1e-5)
            << c.width << "x" << c.height << " r" << c.radius << " at " << x << "," << y;
      }
    }
  }
}

TEST(StretchBilinearTest, InterpolatesBetweenPixelCentresAndHoldsTheEdges) {
  FloatPlane from;
  from.resize(2, 1);
  from.values = {0.0f, 1.0f};
  FloatPlane to;
  to.resize(8, 3);
  stretchBilinear(from, to);
  // Source centres fall at target x = 1.5 and 5.5; outside them the edge values hold.
  const float expected[] = {0.0f, 0.0f, 0.125f, 0.375f, 0.625f, 0.875f, 1.0f, 1.0f};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_FLOAT_EQ(to.row(y)[x], expected[x]) << x << "," << y;
}

// A picture of two colours side by side, split at column `edge`, and a coarse mask on a grid half
// as fine (as the model's is to the refined mask) that changes gradually around a place a little
// off that edge: the refined mask must change at the picture's edge, and sharply.
TEST(GuidedFilterTest, MovesTheMasksEdgeOntoThePicturesAndSharpensIt) {
  struct Case {
    const char* name;
    uint8_t left[3], right[3];  // B, G, R
  };
  const Case cases[] = {
      {"dark against light", {40, 50, 60}, {220, 210, 200}},
      {"same brightness, other colour", {40, 160, 200}, {230, 150, 147}},  // a grey guide would see no edge here
  };
  const int width = 160, height = 96, edge = 70;
  for (const Case& c : cases) {
    BgraPlane picture;
    picture.width = width;
    picture.height = height;
    picture.bytes.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint8_t* p = &picture.bytes[(static_cast<size_t>(y) * width + x) * 4];
        const uint8_t* colour = x < edge ? c.left : c.right;
        p[0] = colour[0], p[1] = colour[1], p[2] = colour[2], p[3] = 255;
      }
    }
    // The coarse mask: 80 x 48, person on the left, falling from 1 to 0 over 4 coarse columns
    // (8 pixels) centred 3 pixels right of the picture's edge.
    FloatPlane coarse;
    coarse.resize(80, 48);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 80; ++x)
        coarse.row(y)[x] = std::clamp(0.5f - ((x + 0.5f) * 2 - (edge + 3)) / 8.0f, 0.0f, 1.0f);

    std::shared_ptr<media::PixelBuffer> mask = media::makePixelBuffer(media::PixelFormat::gray8, width, height);
    GuidedFilter filter;
    filter.refine(coarse, picture, GuidedFilterSettings{}, *mask);
    for (int y : {0, height / 2, height - 1}) {
      for (int x = 0; x < width; ++x) {
        const int value = mask->row(y)[x];
        if (x < edge - 1) {
          EXPECT_GE(value, 230) << c.name << " at " << x << "," << y;
        } else if (x > edge + 1) {
          EXPECT_LE(value, 25) << c.name << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(GuidedFilterTest, KeepsACoarseMaskWhereThePictureHasNoEdge) {
  // A flat picture gives the refined mask nothing to follow: it stays the coarse one, stretched
  // (and steepened about 0.5).
  BgraPlane picture;
  picture.width = 64;
  picture.height = 48;
  picture.bytes.assign(64 * 48 * 4, 128);
  FloatPlane coarse;
  coarse.resize(16, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) coarse.row(y)[x] = x < 8 ? 0.9f : 0.1f;
  std::shared_ptr<media::PixelBuffer> mask = media::makePixelBuffer(media::PixelFormat::gray8, 64, 48);
  GuidedFilter filter;
  filter.refine(coarse, picture, GuidedFilterSettings{}, *mask);
  for (int y = 0; y < 48; ++y) {
    EXPECT_EQ(mask->row(y)[0], 255) << y;  // 0.5 + 0.4 * 3, held at 1
    EXPECT_EQ(mask->row(y)[63], 0) << y;
    for (int x = 1; x < 64; ++x) EXPECT_LE(mask->row(y)[x], mask->row(y)[x - 1]) << x << "," << y;
  }
}

}  // namespace
}  // namespace platform::vision
