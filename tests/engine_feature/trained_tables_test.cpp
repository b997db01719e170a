#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "feature/filter_bank.h"
#include "tables/cell_norm_table.h"
#include "tables/lookup_tables.h"
#include "tables/refine_weights.h"

namespace {

using namespace veltrum;

TEST(TrainedTables, CellNormTableKeepsTheKnownRows) {
  const std::vector<std::int32_t> cell0 = {7495, 6322, 6360,  7478, 8037, 8830, 11495, 16018,
                                           13205, 8052, 6576, 5940, 5798, 5655, 5209,  6818};
  const std::vector<std::int32_t> cell165 = {60126, 58560, 60546, 57413, 58786, 70040,
                                             85617, 96798, 98459, 91086, 78370, 63247,
                                             55663, 55745, 58679, 59839};
  const auto row = [](int cell, int scale) {
    const auto* p = CellNormTable.data() + ResponseIndex(cell, scale, 0);
    return std::vector<std::int32_t>(p, p + 16);
  };
  EXPECT_EQ(row(0, 0), cell0);
  EXPECT_EQ(row(165, 3), cell165);
  const auto [lo, hi] = std::minmax_element(CellNormTable.begin(), CellNormTable.end());
  EXPECT_GE(*lo, 2164);
  EXPECT_LE(*hi, 169963);
  BuildLookupTables();
  for (int i = 0; i < kCellNormEntries; ++i) {
    ASSERT_EQ(Tables().CellNormReciprocal[i], 16.777216f / static_cast<float>(CellNormTable[i])) << i;
  }
}

TEST(TrainedTables, RefineWeightsKeepTheKnownStartOfRowZero) {
  const float start[8] = {0.0461f, 0.0571f, -0.0663f, 0.0686f, 0.0241f, 0.0654f, 0.0924f, 0.1102f};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(RefineWeights[k], start[k]) << k;
  for (float w : RefineWeights) {
    ASSERT_TRUE(std::isfinite(w));
    ASSERT_GE(w, -0.99f);
    ASSERT_LE(w, 1.02f);
  }
}

}  // namespace
