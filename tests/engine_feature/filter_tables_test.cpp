#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tables/cell_weight_tables.h"
#include "tables/filter_kernel_tables.h"

namespace {

using veltrum::FilterKernelTables;

std::vector<int> VerticalEven(int s, int plane) {
  std::vector<int> v;
  for (int d = 1; d <= FilterKernelTables[s].halfSize; ++d) v.push_back(FilterKernelTables[s].Even(d, plane));
  return v;
}
std::vector<int> VerticalOdd(int s, int plane) {
  std::vector<int> v;
  for (int d = 1; d <= FilterKernelTables[s].halfSize; ++d) v.push_back(FilterKernelTables[s].Odd(d, plane));
  return v;
}
std::vector<int> Row(const std::int16_t* table, int s, int row, int from, int count) {
  const auto& k = FilterKernelTables[s];
  return {table + row * k.Width() + from, table + row * k.Width() + from + count};
}
std::vector<int> Weights(const std::array<std::int32_t, veltrum::kCellNormEntries>& t, int cell,
                         int scale) {
  const int i = (cell * 7 + scale) * 16;
  return {t.begin() + i, t.begin() + i + 16};
}

TEST(FilterTables, GivenKernelValues) {
  for (int s = 0; s < 7; ++s) {
    EXPECT_EQ(FilterKernelTables[s].halfSize, veltrum::ScaleHalfSizes[s]);
  }
  EXPECT_EQ(veltrum::ScaleHalfSizes, (std::array<int, 7>{10, 12, 14, 16, 20, 23, 27}));
  const int centres[7] = {884, 625, 442, 313, 221, 156, 110};
  for (int s = 0; s < 7; ++s) {
    const auto& k = FilterKernelTables[s];
    for (int row = 0; row < 16; ++row) EXPECT_EQ(k.t1[row * k.Width() + k.halfSize], centres[s]) << s;
  }
  EXPECT_EQ(VerticalEven(0, 0), (std::vector<int>{196, 183, 164, 140, 115, 90, 68, 49, 33, 22}));
  EXPECT_EQ(VerticalOdd(0, 0), std::vector<int>(10, 0));
  EXPECT_EQ(VerticalEven(0, 8), (std::vector<int>{48, -161, -112, 76, 109, -6, -67, -20, 26, 18}));
  EXPECT_EQ(VerticalOdd(0, 8), (std::vector<int>{-190, -88, 120, 118, -36, -90, -12, 44, 21, -13}));
  const auto& t1 = FilterKernelTables[0].t1;
  const auto& t2 = FilterKernelTables[0].t2;
  EXPECT_EQ(Row(t1, 0, 8, 0, 12),
            (std::vector<int>{97, 148, 215, 299, 399, 509, 621, 724, 809, 865, 884, 865}));
  EXPECT_EQ(t1[8 * 21 + 20], 97);
  EXPECT_EQ(Row(t1, 0, 0, 0, 13),
            (std::vector<int>{78, 115, -89, -295, -28, 483, 336, -494, -710, 214, 884, 214, -710}));
  EXPECT_EQ(Row(t2, 0, 0, 0, 13),
            (std::vector<int>{-58, 93, 195, -53, -398, -161, 522, 530, -388, -838, 0, 838, 388}));
}

TEST(FilterTables, GivenCellWeights) {
  EXPECT_EQ(Weights(veltrum::CellWeightTableA, 0, 0),
            (std::vector<int>{30673, 16129, 1099, 209, 0, 470, 0, 4511, 9363, 4511, 0, 470, 0, 209,
                              1099, 16129}));
  EXPECT_EQ(Weights(veltrum::CellWeightTableB, 0, 0),
            (std::vector<int>{-18405, -7828, -83, 467, 0, 306, 0, 517, 0, -518, 0, -307, 0, -468,
                              82, 7827}));
}

TEST(FilterTables, RowSymmetriesAndStorageWidths) {
  for (int s = 0; s < 7; ++s) {
    const auto& k = FilterKernelTables[s];
    const int h = k.halfSize, w = k.Width();
    for (int row = 0; row < 16; ++row) {
      const int mirror = row == 0 ? 0 : 16 - row;
      for (int d = 0; d <= h; ++d) {
        EXPECT_EQ(k.t1[row * w + h + d], k.t1[row * w + h - d]) << s << " " << row;
        EXPECT_EQ(k.t2[row * w + h + d], -k.t2[row * w + h - d]) << s << " " << row;
        if (row != 0) {
          EXPECT_EQ(k.t1[row * w + h + d], k.t1[mirror * w + h + d]);
          EXPECT_EQ(k.t2[row * w + h + d], -k.t2[mirror * w + h + d]);
        }
      }
      if (row == 8) {
        EXPECT_EQ(Row(k.t2, s, 8, 0, w), std::vector<int>(w, 0)) << s;
      }
    }
    // The last 16-bit tap needs more than a byte: the split is where it must be.
    EXPECT_GE(k.Even(k.NearTaps(), 0), 128) << s;
  }
}

// Regression pins computed by the generation rules (not printed): whole tables by checksum.
TEST(FilterTables, Checksums) {
  struct Sums {
    long long plain, weighted;
  };
  auto sums = [](auto begin, int n) {
    Sums s{0, 0};
    for (int i = 0; i < n; ++i) {
      s.plain += begin[i];
      s.weighted += static_cast<long long>(i + 1) * begin[i];
    }
    return s;
  };
  const Sums expected[7][6] = {
      {{433, -14158}, {484, 4428}, {-2031, -11299}, {-250, -2800}, {21764, 3878284}, {0, -634}},
      {{739, -15833}, {521, 5171}, {-2430, -16661}, {-327, -3825}, {18314, 3883882}, {0, -622}},
      {{1041, -20579}, {615, 6323}, {-2941, -27027}, {-366, -4819}, {15290, 3764102}, {0, -1034}},
      {{1346, -30291}, {748, 6778}, {-3589, -45400}, {-378, -7130}, {12698, 3566290}, {0, -1600}},
      {{1949, -24720}, {763, 9809}, {-4180, -58433}, {-562, -8415}, {10806, 3758502}, {0, -1092}},
      {{2257, -52893}, {1086, 15797}, {-5154, -103662}, {-499, -14255}, {8990, 3591488}, {0, -1494}},
      {{2863, -68691}, {1263, 18423}, {-6147, -152134}, {-602, -21301}, {7522, 3520296}, {0, -1638}},
  };
  for (int s = 0; s < 7; ++s) {
    const auto& k = FilterKernelTables[s];
    const int nearN = k.NearTaps() * 9, farN = (k.halfSize - k.NearTaps()) * 9, tN = 16 * k.Width();
    const Sums got[6] = {sums(k.evenNear, nearN), sums(k.evenFar, farN), sums(k.oddNear, nearN),
                         sums(k.oddFar, farN),    sums(k.t1, tN),        sums(k.t2, tN)};
    for (int a = 0; a < 6; ++a) {
      EXPECT_EQ(got[a].plain, expected[s][a].plain) << "scale " << s << " array " << a;
      EXPECT_EQ(got[a].weighted, expected[s][a].weighted) << "scale " << s << " array " << a;
    }
  }
  const Sums a = sums(veltrum::CellWeightTableA.begin(), veltrum::kCellNormEntries);
  const Sums b = sums(veltrum::CellWeightTableB.begin(), veltrum::kCellNormEntries);
  EXPECT_EQ(a.plain, 19578540);
  EXPECT_EQ(a.weighted, 360504793011LL);
  EXPECT_EQ(b.plain, 122512);
  EXPECT_EQ(b.weighted, 4520715878LL);
  EXPECT_EQ(Weights(veltrum::CellWeightTableA, 329, 3),
            (std::vector<int>{-10423, -6993, -698, -310, -251, -153, -904, -790, 204, -790, -904,
                              -153, -251, -310, -698, -6993}));
  EXPECT_EQ(Weights(veltrum::CellWeightTableB, 165, 6), std::vector<int>(16, 0));
}

}  // namespace
