#include "platform/vision/text/text_model_inputs.h"

#include <gtest/gtest.h>

namespace platform::vision {
namespace {

// A line picture: `ground` everywhere, `ink` in a bar across the middle third (the letters).
media::Image line(const uint8_t ground[3], const uint8_t ink[3]) {
  media::Image picture;
  picture.width = 60;
  picture.height = 30;
  picture.rgb.resize(60 * 30 * 3);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 60; ++x) {
      const uint8_t* colour = y >= 10 && y < 20 && x >= 10 && x < 50 ? ink : ground;
      std::copy(colour, colour + 3, &picture.rgb[(static_cast<size_t>(y) * 60 + x) * 3]);
    }
  }
  return picture;
}

TEST(TextModelInputs, TesseractGetsDarkTextOnALightGroundWhateverTheSignsColours) {
  struct Case {
    const char* name;
    uint8_t ground[3];
    uint8_t ink[3];
  };
  const Case cases[] = {
      {"black on white", {255, 255, 255}, {0, 0, 0}},
      {"white on blue", {31, 61, 122}, {255, 255, 255}},
      {"black on yellow", {242, 194, 0}, {17, 17, 17}},  // the blue channel is dark throughout
      {"cream on red", {179, 18, 42}, {255, 244, 224}},
  };
  for (const Case& c : cases) {
    const GreyImage grey = darkTextOnLight(line(c.ground, c.ink));
    ASSERT_EQ(grey.width, 60);
    ASSERT_EQ(grey.height, 30);
    ASSERT_EQ(grey.pixels.size(), 60u * 30u);
    const int groundLevel = grey.pixels[0], inkLevel = grey.pixels[15 * 60 + 30];
    EXPECT_GT(groundLevel - inkLevel, 60) << c.name << ": ground " << groundLevel << ", ink " << inkLevel;
  }
  EXPECT_TRUE(darkTextOnLight(media::Image{}).pixels.empty());
}

TEST(TextModelInputs, MarginsStopAtThePicturesEdges) {
  // A level line in the middle of a 400 x 200 picture gets its whole margins.
  RotatedRect grown = withMargins(RotatedRect{200, 100, 100, 20, 0}, 0.15, 0.5, 400, 200);
  EXPECT_NEAR(grown.width, 120, 1e-9);
  EXPECT_NEAR(grown.height, 26, 1e-9);
  EXPECT_NEAR(grown.centerX, 200, 1e-9);
  // One that ends 4 pixels from the right edge and touches the top: margins only where there is
  // picture, the box moved to hold them.
  grown = withMargins(RotatedRect{346, 10, 100, 20, 0}, 0.15, 0.5, 400, 200);
  EXPECT_NEAR(grown.width, 100 + 10 + 4, 1e-9);
  EXPECT_NEAR(grown.centerX, 346 - 3, 1e-9);
  EXPECT_NEAR(grown.height, 20 + 3, 1e-9);
  EXPECT_NEAR(grown.centerY, 10 + 1.5, 1e-9);
  // A line that reaches past the edge gets no margin there, and keeps what it has.
  grown = withMargins(RotatedRect{10, 100, 40, 20, 0}, 0.15, 0.5, 400, 200);
  EXPECT_NEAR(grown.width, 40 + 10, 1e-9);
}

}  // namespace
}  // namespace platform::vision
