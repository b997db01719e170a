#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/alloc.h"
#include "feature/coverage.h"
#include "feature/edge_pairs.h"
#include "feature/grid_origin.h"
#include "feature/unpack_feature_block.h"
#include "model/sample_cells.h"

namespace {

using namespace veltrum;

std::vector<std::uint8_t> Pairs(int upper, int lower) {
  std::vector<std::uint8_t> p(142, 0);  // two spare bytes past pair 69
  for (int i = 0; i < 70; ++i) {
    p[2 * i] = static_cast<std::uint8_t>(upper);
    p[2 * i + 1] = static_cast<std::uint8_t>(lower);
  }
  return p;
}

int Cell(int r, int c) { return r * kGridCols + c; }

TEST(Coverage, KnownBands) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> pairs;
    int radius, cell, value;
  };
  // Pair 69 alone gives an empty band (64..60), averaged with the bytes after the table it would
  // not: column 139 must use pair 69 alone.
  auto lastEmpty = Pairs(0, 119);
  lastEmpty[138] = 60, lastEmpty[139] = 64;
  lastEmpty[140] = 0, lastEmpty[141] = 119;
  auto halfBand = Pairs(0, 119);
  for (int p = 0; p < 70; ++p) halfBand[2 * p] = 60;  // band rows 64..115
  const Case cases[] = {
      {"window inside the band", Pairs(0, 119), 15, Cell(7, 11), 255},
      {"large window inside the band", Pairs(0, 119), 27, Cell(7, 11), 255},
      {"first column, top row: 34 columns x 49 rows", Pairs(0, 119), 27, Cell(0, 0), 140},
      {"last grid column: 35 columns in the image", Pairs(0, 119), 27, Cell(7, 21), 35 * 55 * 255 / 3025},
      {"no finger", Pairs(120, 0), 15, Cell(7, 11), 0},
      {"columns 138-139 without band: 21 x 31 pixels", lastEmpty, 15, Cell(7, 21), 651 * 255 / 961},
      {"band covers the lower 12 of 31 rows", halfBand, 15, Cell(7, 11), 12 * 31 * 255 / 961},
  };
  GridParams grid;
  grid.origin = 25;
  for (const auto& c : cases) {
    std::vector<std::uint8_t> out(330, 0xEE);
    ASSERT_EQ(ComputeCoverageGrid(out.data(), c.pairs.data(), c.radius, grid), 0);
    EXPECT_EQ(out[c.cell], c.value) << c.what;
  }
}

TEST(Coverage, FromAFingerMask) {
  // Finger rows 20..99 in every column: pairs (20, 99), origin 25, band rows 24..95.
  std::vector<std::uint8_t> mask(140 * 120, 0);
  std::fill(mask.begin() + 20 * 140, mask.begin() + 100 * 140, 255);
  std::uint8_t pairs[140];
  FindEdgePairs(pairs, mask.data());
  const GridParams grid = ComputeGridOrigin(pairs);
  ASSERT_EQ(grid.origin, 25);
  std::vector<std::uint8_t> r15(330), r27(330);
  ASSERT_EQ(ComputeCoverageGrid(r15.data(), pairs, 15, grid), 0);
  ASSERT_EQ(ComputeCoverageGrid(r27.data(), pairs, 27, grid), 0);
  EXPECT_EQ(r27[Cell(7, 11)], 255);
  EXPECT_EQ(r15[Cell(0, 11)], 17 * 31 * 255 / 961);  // rows 24..40 of 10..40
  EXPECT_EQ(r15[Cell(14, 11)], 16 * 31 * 255 / 961);  // rows 80..95 of 80..110
}

TEST(Coverage, SampleFormPicksTheSampleCells) {
  auto pairs = Pairs(0, 119);
  for (int p = 0; p < 70; ++p) pairs[2 * p] = static_cast<std::uint8_t>(p);  // sloping band
  const GridParams grid = ComputeGridOrigin(pairs.data());
  std::vector<std::uint8_t> grid15(330), grid27(330), a(144, 0xEE), b(98, 0xEE);
  ASSERT_EQ(ComputeCoverageGrid(grid15.data(), pairs.data(), 15, grid), 0);
  ASSERT_EQ(ComputeCoverageGrid(grid27.data(), pairs.data(), 27, grid), 0);
  ASSERT_EQ(ComputeCoverageSamples(a.data(), pairs.data(), 15, grid), 0);
  ASSERT_EQ(ComputeCoverageSamples(b.data(), pairs.data(), 27, grid), 0);
  for (int k = 0; k < 144; ++k) EXPECT_EQ(a[k], grid15[SampleCellA(k).index()]) << k;
  for (int k = 0; k < 98; ++k) EXPECT_EQ(b[k], grid27[SampleCellB(k).index()]) << k;
}

TEST(Coverage, AllocationFailureWritesNothing) {
  const auto pairs = Pairs(0, 119);
  std::vector<std::uint8_t> out(330, 0xEE);
  const GridParams grid{25};
  FailNthAllocation(1);
  EXPECT_EQ(ComputeCoverageGrid(out.data(), pairs.data(), 15, grid), -1);
  FailNthAllocation(1);
  EXPECT_EQ(ComputeCoverageSamples(out.data(), pairs.data(), 27, grid), -1);
  FailNthAllocation(0);
  EXPECT_EQ(out, std::vector<std::uint8_t>(330, 0xEE));
}

TEST(UnpackFeatureBlock, RebuildsTheMapsOfEitherForm) {
  FeatureBlock block{};
  for (int p = 0; p < 70; ++p) block.edgePairs[p][0] = 10, block.edgePairs[p][1] = 100;
  const GridParams grid = ComputeGridOrigin(&block.edgePairs[0][0]);
  std::vector<std::uint8_t> expected15(330), expected27(330);
  ComputeCoverageGrid(expected15.data(), &block.edgePairs[0][0], 15, grid);
  ComputeCoverageGrid(expected27.data(), &block.edgePairs[0][0], 27, grid);

  FeatureBlock full = block;
  ASSERT_EQ(UnpackFeatureBlock(full, 330, true), 0);
  EXPECT_EQ(0, std::memcmp(full.coverage15, expected15.data(), 330));
  EXPECT_EQ(0, std::memcmp(full.coverage27, expected27.data(), 330));

  FeatureBlock sampled = block;
  ASSERT_EQ(UnpackFeatureBlock(sampled, 98, true), 0);
  EXPECT_EQ(sampled.coverage15[0], expected15[SampleCellA(0).index()]);
  EXPECT_EQ(sampled.coverage27[97], expected27[SampleCellB(97).index()]);
  EXPECT_EQ(sampled.coverage15[144], 0);  // the sample form fills 144 and 98 bytes only

  FeatureBlock plain = block;
  std::memset(plain.codeRows, 0xFF, sizeof plain.codeRows);
  ASSERT_EQ(UnpackFeatureBlock(plain, 98, false), 0);
  EXPECT_EQ(plain.coverage15[165], 0);
  EXPECT_EQ(plain.codeRows[97][3], 0xFFu);        // expanded from an all-ones stream
  EXPECT_EQ(plain.codeRows[98][0], 0u);           // the rest of the code area is cleared
  EXPECT_EQ(plain.codeRows[329][3], 0u);

  // Each of the unpacking's three allocations ends the call with -1.
  for (int n = 1; n <= 3; ++n) {
    FeatureBlock failing = block;
    FailNthAllocation(n);
    EXPECT_EQ(UnpackFeatureBlock(failing, 330, true), -1) << n;
    FailNthAllocation(0);
  }
}

}  // namespace
