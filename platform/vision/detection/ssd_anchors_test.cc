#include "platform/vision/detection/ssd_anchors.h"

#include <gtest/gtest.h>

namespace platform::vision {
namespace {

using Samples = std::vector<std::pair<size_t, AnchorCentre>>;

void expectAnchors(const char* name, const SsdAnchorOptions& options, size_t count, const Samples& samples) {
  const std::vector<AnchorCentre> anchors = ssdAnchors(options);
  ASSERT_EQ(anchors.size(), count) << name;
  for (const auto& [index, centre] : samples) {
    EXPECT_NEAR(anchors[index].x, centre.x, 1e-12) << name << " anchor " << index;
    EXPECT_NEAR(anchors[index].y, centre.y, 1e-12) << name << " anchor " << index;
  }
}

// The published detector set-ups and where chosen anchors must sit: the decoders pair output row
// i with anchor i, so both the count and the order matter.
TEST(SsdAnchors, CountsAndOrderOfThePublishedDetectors) {
  expectAnchors("pose", {224, 224, {8, 16, 32, 32, 32}}, 2254,
                {{0, {0.5 / 28, 0.5 / 28}},
                 {1, {0.5 / 28, 0.5 / 28}},  // the interpolated-scale anchor of the same cell
                 {2, {1.5 / 28, 0.5 / 28}},
                 {56, {0.5 / 28, 1.5 / 28}},    // second row
                 {1568, {0.5 / 14, 0.5 / 14}},  // first cell of the stride-16 grid
                 {1960, {0.5 / 7, 0.5 / 7}},    // the three stride-32 layers share one grid: six per cell
                 {1965, {0.5 / 7, 0.5 / 7}},
                 {1966, {1.5 / 7, 0.5 / 7}},
                 {2253, {6.5 / 7, 6.5 / 7}}});
  expectAnchors("palm", {192, 192, {8, 16, 16, 16}}, 2016,
                {{1151, {23.5 / 24, 23.5 / 24}}, {1152, {0.5 / 12, 0.5 / 12}}, {1158, {1.5 / 12, 0.5 / 12}}});
  expectAnchors("face short range", {128, 128, {8, 16, 16, 16}}, 896, {{512, {0.5 / 8, 0.5 / 8}}});
  expectAnchors("face full range", {192, 192, {4}, false}, 2304,
                {{1, {1.5 / 48, 0.5 / 48}}, {48, {0.5 / 48, 1.5 / 48}}});
  expectAnchors("wide input", {32, 16, {8}}, 16, {{2, {1.5 / 4, 0.5 / 2}}, {8, {0.5 / 4, 1.5 / 2}}});
  expectAnchors("input not a multiple of the stride", {20, 20, {8}, false}, 9, {{1, {1.5 / 3, 0.5 / 3}}});
}

TEST(SsdAnchors, NoLayersOrNonsenseStridesGiveNoAnchors) {
  EXPECT_TRUE(ssdAnchors({224, 224, {}}).empty());
  EXPECT_TRUE(ssdAnchors({224, 224, {0}}).empty());
  EXPECT_TRUE(ssdAnchors({224, 224, {-8}}).empty());
}

}  // namespace
}  // namespace platform::vision
