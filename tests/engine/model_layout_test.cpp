#include <gtest/gtest.h>

#include <set>

#include "model/sample_cells.h"

namespace {

using veltrum::SampleCellA;
using veltrum::SampleCellB;

TEST(SampleCells, AAndBSamplesAreDistinctCellsInsideTheGrid) {
  std::set<int> a, b;
  for (int k = 0; k < 144; ++k) a.insert(SampleCellA(k).index());
  for (int k = 0; k < 98; ++k) b.insert(SampleCellB(k).index());
  EXPECT_EQ(a.size(), 144u);
  EXPECT_EQ(b.size(), 98u);
  for (int cell : a) EXPECT_EQ(b.count(cell), 0u) << cell;  // even rows against odd rows
  EXPECT_LT(*a.rbegin(), veltrum::kGridCells);
  EXPECT_LT(*b.rbegin(), veltrum::kGridCells);
}

TEST(SampleCells, KnownSamples) {
  struct Case {
    bool isA;
    int k, row, col;
  };
  const Case cases[] = {
      {true, 0, 0, 0},    {true, 4, 0, 5},   {true, 17, 0, 21},  {true, 18, 2, 0},
      {true, 143, 14, 21}, {false, 0, 1, 1}, {false, 13, 1, 20}, {false, 14, 3, 1},
      {false, 97, 13, 20},
  };
  for (const auto& c : cases) {
    const auto cell = c.isA ? SampleCellA(c.k) : SampleCellB(c.k);
    EXPECT_EQ(cell.row, c.row) << c.k;
    EXPECT_EQ(cell.col, c.col) << c.k;
  }
  EXPECT_EQ(SampleCellA(143).index(), 14 * 22 + 21);
}

}  // namespace
