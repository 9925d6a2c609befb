#include "platform/vision/detection/image_to_tensor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

#include "platform/vision/detection/detection_errors.h"

namespace platform::vision {
namespace {

// A small RGB picture whose every byte differs, so any misplaced pixel or channel shows.
media::Image testPicture(int width, int height) {
  media::Image image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
  for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = static_cast<uint8_t>((i * 37 + 11) % 251);
  return image;
}

std::vector<float> fill(const media::ImageView& view, const RotatedRect& area, int width, int height, float low = 0,
                        float high = 255) {
  std::vector<float> tensor(size_t(width) * height * 3, -999.0f);
  EXPECT_TRUE(imageToTensor(view, area, width, height, low, high, tensor.data()).ok());
  return tensor;
}

// A tensor pixel's expected source: a picture pixel (x, y), or none (border).
using Source = std::function<std::pair<int, int>(int column, int row)>;

TEST(ImageToTensorTest, PureRotationsAndFlipsMovePixelsExactly) {
  const int n = 5;
  media::Image picture = testPicture(n, n);
  const double c = n / 2.0;
  const double pi = std::numbers::pi;
  struct Case {
    const char* name;
    RotatedRect area;
    Source source;
  };
  const Case cases[] = {
      {"identity",
       {c, c, n, n, 0},
       [](int i, int j) {
         return std::pair{i, j};
       }},
      // Turning the area clockwise shows the picture turned anticlockwise.
      {"rotate 90",
       {c, c, n, n, pi / 2},
       [](int i, int j) {
         return std::pair{n - 1 - j, i};
       }},
      {"rotate 180",
       {c, c, n, n, pi},
       [](int i, int j) {
         return std::pair{n - 1 - i, n - 1 - j};
       }},
      {"rotate 270",
       {c, c, n, n, -pi / 2},
       [](int i, int j) {
         return std::pair{j, n - 1 - i};
       }},
      {"mirror left-right",
       {c, c, -n, n, 0},
       [](int i, int j) {
         return std::pair{n - 1 - i, j};
       }},
      {"mirror top-bottom",
       {c, c, n, -n, 0},
       [](int i, int j) {
         return std::pair{i, n - 1 - j};
       }},
      {"shift right by two",
       {c + 2, c, n, n, 0},
       [](int i, int j) {
         return std::pair{i + 2, j};
       }},
  };
  for (const Case& k : cases) {
    std::vector<float> tensor = fill(picture.view(), k.area, n, n);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) {
        auto [x, y] = k.source(i, j);
        for (int ch = 0; ch < 3; ++ch) {
          float want = x < n ? picture.rgb[(size_t(y) * n + x) * 3 + ch] : 0.0f;  // black beyond
          ASSERT_NEAR(tensor[(size_t(j) * n + i) * 3 + ch], want, 1e-3) << k.name << " at " << i << "," << j;
        }
      }
  }
}

TEST(ImageToTensorTest, HalvingAveragesEachTwoByTwoBlock) {
  media::Image picture = testPicture(8, 6);
  std::vector<float> tensor = fill(picture.view(), {4, 3, 8, 6, 0}, 4, 3);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 4; ++i)
      for (int ch = 0; ch < 3; ++ch) {
        float sum = 0;
        for (int k = 0; k < 4; ++k) sum += picture.rgb[((2 * j + k / 2) * 8 + 2 * i + k % 2) * 3 + ch];
        EXPECT_NEAR(tensor[(j * 4 + i) * 3 + ch], sum / 4, 1e-3);
      }
}

TEST(ImageToTensorTest, MapsValuesToTheRangeAndTheBorderToItsLowEnd) {
  media::Image white{2, 2, std::vector<uint8_t>(12, 255)};
  // The area is twice the picture's width: the outer quarters of the tensor lie outside.
  std::vector<float> tensor = fill(white.view(), {1, 1, 4, 2, 0}, 4, 2, -1, 1);
  for (int j = 0; j < 2; ++j) {
    EXPECT_FLOAT_EQ(tensor[(j * 4 + 0) * 3], -1.0f);  // zero border reads as the range's low end
    EXPECT_FLOAT_EQ(tensor[(j * 4 + 1) * 3], 1.0f);
    EXPECT_FLOAT_EQ(tensor[(j * 4 + 2) * 3 + 2], 1.0f);
    EXPECT_FLOAT_EQ(tensor[(j * 4 + 3) * 3 + 1], -1.0f);
  }
}

// The landmark models' crops repeat the edge pixels instead: beyond each corner the corner pixel,
// beyond each edge that edge's pixels, and inside the picture nothing changes; also on pictures a
// single pixel wide or high, which have no pair of neighbours to mix.
TEST(ImageToTensorTest, ReplicatedBorderRepeatsTheNearestEdgePixel) {
  for (const auto& [width, height] : {std::pair{3, 2}, {1, 3}, {4, 1}}) {
    const media::Image picture = testPicture(width, height);
    // Tensor pixels one picture pixel apart, from one pixel left of and above the picture to one
    // past its right and bottom edges.
    const int columns = width + 2, rows = height + 2;
    const RotatedRect area{width / 2.0, height / 2.0, double(columns), double(rows), 0};
    std::vector<float> tensor(size_t(columns) * rows * 3);
    ASSERT_TRUE(imageToTensor(picture.view(), area, columns, rows, 0, 255, tensor.data(), Border::replicate).ok());
    for (int row = 0; row < rows; ++row) {
      for (int column = 0; column < columns; ++column) {
        const int x = std::clamp(column - 1, 0, width - 1), y = std::clamp(row - 1, 0, height - 1);
        for (int ch = 0; ch < 3; ++ch) {
          ASSERT_NEAR(tensor[(row * columns + column) * 3 + ch], picture.rgb[(y * width + x) * 3 + ch], 1e-3)
              << width << "x" << height << " at " << column << "," << row;
        }
      }
    }
  }
}

TEST(ImageToTensorTest, ReadsBgraWithRowPaddingLikeRgb) {
  media::Image picture = testPicture(3, 2);
  const int stride = 3 * 4 + 5;
  std::vector<uint8_t> bgra(stride * 2, 77);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const uint8_t* p = &picture.rgb[(y * 3 + x) * 3];
      uint8_t* q = &bgra[y * stride + x * 4];
      q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = 255;
    }
  media::ImageView view{bgra.data(), 3, 2, stride, media::PixelFormat::bgra8};
  RotatedRect area{1.5, 1, 3, 2, 0.3};
  EXPECT_EQ(fill(view, area, 4, 4), fill(picture.view(), area, 4, 4));
}

TEST(ImageToTensorTest, RefusesBrokenPicturesAndTensorsAndLeavesTheTensorAlone) {
  media::Image picture = testPicture(2, 2);
  media::ImageView shortRows = picture.view();
  shortRows.bytesPerRow = 5;
  const RotatedRect area{1, 1, 2, 2, 0};
  const struct {
    const char* what;
    media::ImageView image;
    RotatedRect area;
    int width;
    DetectionError code;
  } cases[] = {
      {"rows shorter than the width", shortRows, area, 2, DetectionError::noPixels},
      {"no picture", media::ImageView{}, area, 2, DetectionError::noPixels},
      {"a tensor without columns", picture.view(), area, 0, DetectionError::badCrop},
      {"an area that is not a number", picture.view(), {NAN, 1, 2, 2, 0}, 2, DetectionError::badCrop},
      {"an endless area", picture.view(), {1, 1, INFINITY, 2, 0}, 2, DetectionError::badCrop},
  };
  for (const auto& c : cases) {
    std::vector<float> tensor(12, -7.0f);
    const Result<void> filled = imageToTensor(c.image, c.area, c.width, 2, 0, 1, tensor.data());
    ASSERT_FALSE(filled.ok()) << c.what;
    EXPECT_EQ(filled.error().domain, kDetectionDomain) << c.what;
    EXPECT_EQ(filled.error().code, static_cast<int64_t>(c.code)) << c.what;
    EXPECT_EQ(tensor, std::vector<float>(12, -7.0f)) << c.what;
  }
  EXPECT_FALSE(holdsPixels(shortRows));
  EXPECT_TRUE(holdsPixels(picture.view()));
}

// Upright areas are filled with the coordinates and weights of each column and row worked out once;
// the values must be those of the per-pixel form to the bit, or the models' outputs would move.
TEST(ImageToTensorTest, UprightAreasGiveThePerPixelValuesExactly) {
  struct Case {
    const char* name;
    int pictureWidth, pictureHeight;
    RotatedRect area;
    int tensorWidth, tensorHeight;
  };
  const Case cases[] = {
      {"letterbox of a wide picture", 37, 21, {18.5, 10.5, 37, 37, 0}, 16, 16},
      {"shrinking, off-centre", 40, 30, {13.3, 17.9, 21.7, 19.1, 0}, 9, 11},
      {"growing", 9, 7, {4.2, 3.1, 5.5, 4.5, 0}, 23, 19},
      {"reaching past every edge", 12, 10, {6, 5, 30, 26, 0}, 15, 13},
      {"wholly outside", 12, 10, {-40, 5, 8, 8, 0}, 6, 6},
      {"mirrored both ways", 15, 11, {7.5, 5.5, -15, -11, 0}, 8, 6},
      {"one pixel wide", 1, 9, {0.5, 4.5, 3, 9, 0}, 5, 7},
      {"one pixel", 1, 1, {0.5, 0.5, 2, 2, 0}, 3, 3},
  };
  for (const Case& c : cases) {
    media::Image picture = testPicture(c.pictureWidth, c.pictureHeight);
    // A grey and a padded BGRA copy of the picture, so each pixel layout takes its turn.
    std::vector<uint8_t> grey(picture.rgb.begin(), picture.rgb.begin() + c.pictureWidth * c.pictureHeight);
    const ptrdiff_t stride = 4 * c.pictureWidth + 3;
    std::vector<uint8_t> bgra(static_cast<size_t>(stride * c.pictureHeight), 200);
    for (size_t i = 0; i < picture.rgb.size(); ++i) bgra[(i / 3 / c.pictureWidth) * stride + (i / 3 % c.pictureWidth) * 4 + 2 - i % 3] = picture.rgb[i];
    const media::ImageView views[] = {picture.view(),
                                      {grey.data(), c.pictureWidth, c.pictureHeight, c.pictureWidth, media::PixelFormat::gray8},
                                      {bgra.data(), c.pictureWidth, c.pictureHeight, stride, media::PixelFormat::bgra8}};
    for (const media::ImageView& view : views) {
      for (const Border border : {Border::zero, Border::replicate}) {
        const size_t size = size_t(c.tensorWidth) * c.tensorHeight * 3;
        std::vector<float> fast(size, -999.0f), plain(size, -999.0f);
        ASSERT_TRUE(imageToTensor(view, c.area, c.tensorWidth, c.tensorHeight, -1, 1, fast.data(), border).ok());
        ASSERT_TRUE(imageToTensorPerPixel(view, c.area, c.tensorWidth, c.tensorHeight, -1, 1, plain.data(), border).ok());
        EXPECT_EQ(0, std::memcmp(fast.data(), plain.data(), size * sizeof(float)))
            << c.name << ", format " << static_cast<int>(view.format) << ", border " << static_cast<int>(border);
      }
    }
  }
}

TEST(ImageToTensorTest, LetterboxPadsTheShortSideAndMapsBack) {
  struct Case {
    int pictureWidth, pictureHeight, tensorWidth, tensorHeight;
    double padX, padY;  // each side, in fractions of the tensor
  };
  const Case cases[] = {
      {1280, 720, 192, 192, 0, 0.21875},
      {480, 640, 192, 192, 0.125, 0},
      {300, 300, 128, 128, 0, 0},
      {100, 400, 256, 144, 0.4296875, 0},
  };
  for (const Case& c : cases) {
    Letterbox box = letterbox(c.pictureWidth, c.pictureHeight, c.tensorWidth, c.tensorHeight);
    EXPECT_NEAR(box.padLeft, c.padX, 1e-9);
    EXPECT_NEAR(box.padRight, c.padX, 1e-9);
    EXPECT_NEAR(box.padTop, c.padY, 1e-9);
    EXPECT_NEAR(box.padBottom, c.padY, 1e-9);
    // The edges of the padded area map back to the picture's corners.
    PicturePoint topLeft = pictureFromTensor(box.area, box.padLeft, box.padTop);
    PicturePoint bottomRight = pictureFromTensor(box.area, 1 - box.padRight, 1 - box.padBottom);
    EXPECT_NEAR(topLeft.x, 0, 1e-6);
    EXPECT_NEAR(topLeft.y, 0, 1e-6);
    EXPECT_NEAR(bottomRight.x, c.pictureWidth, 1e-6);
    EXPECT_NEAR(bottomRight.y, c.pictureHeight, 1e-6);
  }
  // A 4x2 picture in a 4x4 tensor: the top and bottom rows are border, the middle the picture.
  media::Image picture = testPicture(4, 2);
  Letterbox box = letterbox(4, 2, 4, 4);
  std::vector<float> tensor = fill(picture.view(), box.area, 4, 4, -1, 1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(tensor[(0 * 4 + i) * 3], -1.0f);
    EXPECT_FLOAT_EQ(tensor[(3 * 4 + i) * 3], -1.0f);
    EXPECT_NEAR(tensor[(1 * 4 + i) * 3], -1 + 2 * picture.rgb[i * 3] / 255.0, 1e-5);
  }
}

}  // namespace
}  // namespace platform::vision
