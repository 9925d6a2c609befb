#include "platform/nn/graph/densify.h"

#include <gtest/gtest.h>

#include "platform/nn/model_errors.h"

namespace platform::nn {
namespace {

Sparsity::Dimension dense(int size) { return {true, size, {}, {}}; }
Sparsity::Dimension compressed(std::vector<int> segments, std::vector<int> indices) {
  return {false, 0, std::move(segments), std::move(indices)};
}

TEST(DensifyTest, ExpandsRowsCompressedByColumn) {
  // 3x4: row 0 holds columns 1 and 3, row 1 nothing, row 2 column 0.
  Sparsity s{{0, 1}, {}, {dense(3), compressed({0, 2, 2, 3}, {1, 3, 0})}};
  auto result = densify({1, 2, 3}, s, {3, 4});
  ASSERT_TRUE(result.ok()) << result.error().description;
  EXPECT_EQ(result.value(), (std::vector<float>{0, 1, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0}));
}

TEST(DensifyTest, ExpandsBlocksAlongAColumn) {
  // 4x4 in 1x2 blocks along dimension 1: row 0 keeps block 1, row 2 keeps block 0.
  Sparsity s{{0, 1, 2}, {1}, {dense(4), compressed({0, 1, 1, 2, 2}, {1, 0}), dense(2)}};
  auto result = densify({1, 2, 3, 4}, s, {4, 4});
  ASSERT_TRUE(result.ok()) << result.error().description;
  EXPECT_EQ(result.value(), (std::vector<float>{0, 0, 1, 2, 0, 0, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0}));
}

TEST(DensifyTest, FollowsTheTraversalOrder) {
  // Column-major traversal of a 2x3 matrix, all dense.
  Sparsity s{{1, 0}, {}, {dense(3), dense(2)}};
  auto result = densify({1, 2, 3, 4, 5, 6}, s, {2, 3});
  ASSERT_TRUE(result.ok()) << result.error().description;
  EXPECT_EQ(result.value(), (std::vector<float>{1, 3, 5, 2, 4, 6}));
}

TEST(DensifyTest, RejectsMetadataThatPointsOutside) {
  struct Case {
    const char* name;
    Sparsity sparsity;
    std::vector<float> values;
  };
  const Case cases[] = {
      {"column index past the row", {{0, 1}, {}, {dense(3), compressed({0, 1, 1, 1}, {4})}}, {1}},
      {"segment past the indices", {{0, 1}, {}, {dense(3), compressed({0, 1, 1, 5}, {0})}}, {1}},
      {"too few segments", {{0, 1}, {}, {dense(3), compressed({0, 1}, {0})}}, {1}},
      {"decreasing segments", {{0, 1}, {}, {dense(3), compressed({0, 1, 0, 1}, {0})}}, {1}},
      {"too few values", {{0, 1}, {}, {dense(3), compressed({0, 1, 1, 2}, {0, 1})}}, {1}},
      {"too many values", {{0, 1}, {}, {dense(3), compressed({0, 1, 1, 1}, {0})}}, {1, 2}},
      {"dense size differs from shape", {{0, 1}, {}, {dense(5), compressed({0, 0, 0, 0, 0, 0}, {})}}, {}},
      {"order is no permutation", {{0, 0}, {}, {dense(3), dense(4)}}, {}},
      {"order too short", {{0}, {}, {dense(3)}}, {}},
      {"block map names a missing dimension", {{0, 1, 2}, {5}, {dense(3), dense(4), dense(1)}}, {}},
      // Fits the shape, but a block map as long as the file allows made expansion take forever.
      {"block map blocks a dimension twice",
       {{0, 1, 2, 3}, {1, 1}, {dense(3), dense(4), dense(1), dense(1)}},
       std::vector<float>(12, 1.0f)},
  };
  for (const Case& c : cases) {
    auto result = densify(c.values, c.sparsity, {3, 4});
    ASSERT_FALSE(result.ok()) << c.name;
    EXPECT_EQ(result.error().code, static_cast<int64_t>(ModelError::malformed)) << c.name;
  }
}

}  // namespace
}  // namespace platform::nn
