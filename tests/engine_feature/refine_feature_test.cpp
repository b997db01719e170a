#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "core/alloc.h"
#include "feature/coverage.h"
#include "feature/filter_bank.h"
#include "feature/refine_feature.h"
#include "sim_finger/random.h"

namespace {

using namespace veltrum;

FeatureBlock FullFingerBlock() {
  FeatureBlock block{};
  for (auto& pair : block.edgePairs) pair[0] = 0, pair[1] = 119;
  return block;
}

std::set<int> NonZeroWindows(const FeatureBlock& block) {
  std::set<int> windows;
  for (int v = 0; v < 4; ++v) {
    for (int j = 0; j < 60; ++j) {
      if (block.coarse[60 * v + j] != 0) windows.insert(v);
    }
  }
  return windows;
}

TEST(RefineFeature, EachWindowSumsItsOwnCells) {
  struct Case {
    int row, col;
    std::set<int> windows;
  };
  const Case cases[] = {
      {0, 0, {}},     {7, 21, {}},     {7, 5, {0, 2}}, {3, 15, {1}},  {12, 20, {3}},
      {14, 11, {3}},  {8, 10, {0, 2}}, {5, 1, {0}},    {6, 11, {1, 3}},
  };
  for (const auto& c : cases) {
    FeatureBlock block = FullFingerBlock();
    std::vector<std::int32_t> work(kResponseEntries, 0);
    const int cell = c.row * kGridCols + c.col;
    for (int k = 48; k < kCellResponses; ++k) work[cell * kCellResponses + k] = 1000 + k;
    ASSERT_EQ(RefineFeature(block, block.coverage27, work.data(), false), 0);
    EXPECT_EQ(NonZeroWindows(block), c.windows) << c.row << "," << c.col;
  }
}

TEST(RefineFeature, VectorsHaveLength126) {
  simfinger::Random random(21);
  std::vector<std::int32_t> work(kResponseEntries);
  for (auto& v : work) v = random.UniformInt(0, 8000);
  FeatureBlock block = FullFingerBlock();
  ASSERT_EQ(RefineFeature(block, block.coverage27, work.data(), false), 0);
  EXPECT_EQ(block.gridOrigin, 25);
  EXPECT_EQ(block.gridFirstCol, 6);
  EXPECT_EQ(block.coverage27[7 * 22 + 11], 255);
  for (int v = 0; v < 4; ++v) {
    double squares = 0;
    for (int j = 0; j < 60; ++j) {
      squares += block.coarse[60 * v + j] * block.coarse[60 * v + j];
      ASSERT_LE(std::abs(block.coarse[60 * v + j]), 126);
    }
    EXPECT_NEAR(std::sqrt(squares), 126.0, 3.0) << v;
  }
}

TEST(RefineFeature, ZeroCoverageOrResponsesGiveZeroVectors) {
  simfinger::Random random(22);
  std::vector<std::int32_t> work(kResponseEntries);
  for (auto& v : work) v = random.UniformInt(0, 8000);
  FeatureBlock noFinger{};
  for (auto& pair : noFinger.edgePairs) pair[0] = 120, pair[1] = 0;
  ASSERT_EQ(RefineFeature(noFinger, noFinger.coverage27, work.data(), false), 0);
  EXPECT_EQ(noFinger.gridOrigin, -34);
  EXPECT_TRUE(NonZeroWindows(noFinger).empty());

  FeatureBlock quiet = FullFingerBlock();
  const std::vector<std::int32_t> zeros(kResponseEntries, 0);
  ASSERT_EQ(RefineFeature(quiet, quiet.coverage27, zeros.data(), false), 0);
  EXPECT_TRUE(NonZeroWindows(quiet).empty());
}

TEST(RefineFeature, ReadyMapsAreReadAsGiven) {
  simfinger::Random random(23);
  std::vector<std::int32_t> work(kResponseEntries);
  for (auto& v : work) v = random.UniformInt(0, 8000);
  FeatureBlock block = FullFingerBlock();
  block.gridOrigin = 0x11111111;
  block.gridFirstCol = 0x22222222;
  std::vector<std::uint8_t> map(330, 0);  // a given map with no finger wins over the pairs
  ASSERT_EQ(RefineFeature(block, map.data(), work.data(), true), 0);
  EXPECT_EQ(block.gridOrigin, 0x11111111);
  EXPECT_EQ(block.gridFirstCol, 0x22222222);
  EXPECT_TRUE(NonZeroWindows(block).empty());
  EXPECT_EQ(block.coverage27[165], 0);

  FailNthAllocation(1);  // ready maps need no memory
  EXPECT_EQ(RefineFeature(block, map.data(), work.data(), true), 0);
  FailNthAllocation(1);
  EXPECT_EQ(RefineFeature(block, block.coverage27, work.data(), false), -1);
  FailNthAllocation(0);
}

}  // namespace
