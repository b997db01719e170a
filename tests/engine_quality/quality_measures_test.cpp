#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "quality/quality_measures.h"
#include "veltrum.h"

namespace {

using namespace veltrum;
using Plane = std::vector<std::uint8_t>;

// A width x height plane drawn from rows of characters: '#' is `on`, anything else `off`.
Plane Draw(const std::vector<std::string>& rows, std::uint8_t on = 200, std::uint8_t off = 0) {
  Plane p;
  for (const auto& row : rows) {
    for (char ch : row) p.push_back(ch == '#' ? on : off);
  }
  return p;
}

class Measures : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
};

TEST_F(Measures, SaturatedFractionCountsOnly255) {
  Plane image(320 * 240, 254);
  for (int i = 0; i < 768; ++i) image[i * 100] = 255;
  EXPECT_FLOAT_EQ(SaturatedFraction(image.data()), 0.01f);
}

TEST_F(Measures, BlockContrastScoreSumsBlockDeviationRoots) {
  // 25 x 13: blocks of 2 x 2; the last row and column lie outside every block.
  Plane p(25 * 13, 0);
  const auto at = [&](int r, int c) -> std::uint8_t& { return p[r * 25 + c]; };
  at(0, 0) = at(0, 1) = 200;  // block (0, 0): 0, 0, 200, 200 -> root 200, counts 1
  at(3, 3) = 100;             // block (1, 1): 0, 0, 0, 100 -> root sqrt(7500)
  for (int r = 0; r < 13; ++r) at(r, 24) = 255;
  for (int c = 0; c < 25; ++c) at(12, c) = 255;
  EXPECT_FLOAT_EQ(BlockContrastScore(p.data(), 25, 13), (1.0f + std::sqrt(7500.0f) / 201.0f) / 72);
  // Planes smaller than the 12 x 6 grid have empty blocks and score 0.
  EXPECT_EQ(BlockContrastScore(p.data(), 11, 13), 0.0f);
}

TEST_F(Measures, LocalContrastNormaliseComparesLocalAndWindowMeans) {
  Plane flat(40 * 30, 90);
  ASSERT_EQ(LocalContrastNormalise(flat.data(), 40, 30), 0);
  EXPECT_EQ(flat, Plane(40 * 30, 128));

  // One white pixel in the middle of 5 x 5 black: the window means are 255/15 and 255/25,
  // every 3 x 3 mean inside is 255/9.
  Plane dot(25, 0);
  dot[12] = 255;
  ASSERT_EQ(LocalContrastNormalise(dot.data(), 5, 5), 0);
  const Plane expected = {128, 128, 128, 128, 128,  //
                          128, 216, 216, 216, 128,  //
                          128, 255, 255, 255, 128,  //
                          128, 216, 216, 216, 128,  //
                          128, 128, 128, 128, 128};
  EXPECT_EQ(dot, expected);

  Plane two(20, 7);  // fewer than 3 rows: all 128
  ASSERT_EQ(LocalContrastNormalise(two.data(), 10, 2), 0);
  EXPECT_EQ(two, Plane(20, 128));
}

TEST_F(Measures, ClarityRatioOfVerticalAgainstHorizontalChange) {
  // A step of 10 at column 10, from row 5 down, on a 20 x 10 plane: H = V = 200.
  Plane step(20 * 10, 0);
  for (int r = 5; r < 10; ++r) {
    for (int c = 10; c < 20; ++c) step[r * 20 + c] = 10;
  }
  float ratio = -1;
  ASSERT_EQ(ClarityRatio(step.data(), 20, 10, ratio), 0);
  EXPECT_FLOAT_EQ(ratio, 1.0f);

  // The same step over all rows changes only across: V = 0.
  for (int r = 0; r < 5; ++r) {
    for (int c = 10; c < 20; ++c) step[r * 20 + c] = 10;
  }
  ASSERT_EQ(ClarityRatio(step.data(), 20, 10, ratio), 0);
  EXPECT_EQ(ratio, 0.0f);

  // Without horizontal change H = 0: not a number.
  Plane rows(40 * 20);
  for (int r = 0; r < 20; ++r) {
    for (int c = 0; c < 40; ++c) rows[r * 40 + c] = static_cast<std::uint8_t>(10 * r);
  }
  ASSERT_EQ(ClarityRatio(rows.data(), 40, 20, ratio), 0);
  EXPECT_TRUE(std::isnan(ratio));

  ratio = -1;
  FailNthAllocation(1);
  EXPECT_EQ(ClarityRatio(step.data(), 20, 10, ratio), 3012);
  FailNthAllocation(0);
  EXPECT_EQ(ratio, -1);
}

TEST_F(Measures, OtsuThresholdTakesTheFirstBestSplit) {
  EXPECT_EQ(OtsuThreshold(Plane(64, 77).data(), 8, 8), 0);  // one grey level: every split is 0
  Plane two(64, 50);
  for (int i = 32; i < 64; ++i) two[i] = 200;
  EXPECT_EQ(OtsuThreshold(two.data(), 8, 8), 50);  // 50..199 split equally well
  Plane three(100, 10);
  for (int i = 50; i < 90; ++i) three[i] = 100;
  for (int i = 90; i < 100; ++i) three[i] = 200;
  EXPECT_EQ(OtsuThreshold(three.data(), 10, 10), 10);
}

TEST_F(Measures, BrightRegionPixelsKeepsItsOwnMergeRule) {
  struct Case {
    const char* what;
    std::vector<std::string> rows;
    int expected;
  };
  const auto block = [](int top, int height, int width, int extra) {
    std::vector<std::string> rows(12, std::string(12, '.'));
    for (int r = top; r < top + height; ++r) rows[r].replace(1, width, std::string(width, '#'));
    if (extra) rows[top + height][1] = '#';
    return rows;
  };
  // Two bars joined at the bottom; the bar that starts higher has the smaller label.
  const auto bars = [](int leftTop, int middleTop, int rightTop) {
    std::vector<std::string> rows(20, std::string(12, '.'));
    for (int r = 0; r < 19; ++r) {
      if (leftTop >= 0 && r >= leftTop) rows[r][2] = '#';
      if (middleTop >= 0 && r >= middleTop) rows[r][5] = '#';
      if (rightTop >= 0 && r >= rightTop) rows[r][8] = '#';
    }
    rows[19].replace(2, 7, "#######");
    return rows;
  };
  const Case cases[] = {
      {"30 pixels count nothing", block(2, 5, 6, 0), 0},
      {"31 pixels count whole", block(2, 5, 6, 1), 31},
      {"a region only in row 0 is one region per pixel", {std::string(40, '#')}, 0},
      {"right bar first: the left label links to it, 39 count", bars(5, -1, 1), 39},
      {"left bar first: the join is never recorded, two small regions", bars(1, -1, 5), 0},
      {"a comb whose labels fall to the right counts each pixel once", bars(5, 3, 1), 55},
  };
  for (const Case& c : cases) {
    const Plane p = Draw(c.rows);
    std::int32_t count = -1;
    ASSERT_EQ(BrightRegionPixels(p.data(), static_cast<int>(c.rows[0].size()),
                                 static_cast<int>(c.rows.size()), 128, count),
              0);
    EXPECT_EQ(count, c.expected) << c.what;
  }
  const Plane p = Draw(block(2, 5, 6, 1));
  for (int n : {1, 2}) {
    std::int32_t count = -1;
    FailNthAllocation(n);
    EXPECT_EQ(BrightRegionPixels(p.data(), 12, 12, 128, count), 3012);
    FailNthAllocation(0);
    EXPECT_EQ(count, -1);
  }
}

TEST_F(Measures, BrightRegionPixelsLabelsMoreRegionsThanASigned16BitLabelHolds) {
  // A checkerboard over a whole frame opens a region at nearly every bright pixel.
  Plane board(320 * 240);
  for (int r = 0; r < 240; ++r) {
    for (int c = 0; c < 320; ++c) board[r * 320 + c] = (r + c) % 2 ? 0 : 200;
  }
  std::int32_t count = -1;
  ASSERT_EQ(BrightRegionPixels(board.data(), 320, 240, 128, count), 0);
  EXPECT_EQ(count, 0);
  // A large region after 38000 small ones is still found whole.
  for (int r = 200; r < 240; ++r) {
    for (int c = 0; c < 320; ++c) board[r * 320 + c] = 200;
  }
  ASSERT_EQ(BrightRegionPixels(board.data(), 320, 240, 128, count), 0);
  EXPECT_GE(count, 40 * 320);
}

TEST_F(Measures, MaskedMedianBandFiltersEachColumnsFirstRunOnly) {
  constexpr int kRows = 6;
  Plane band(320 * kRows, 10), mask(320 * kRows, 0);
  const auto at = [](Plane& p, int r, int c) -> std::uint8_t& { return p[r * 320 + c]; };
  at(mask, 1, 5) = at(mask, 2, 5) = 1;  // first run of column 5
  at(mask, 4, 5) = 1;                    // a second run
  at(band, 2, 5) = 255;
  at(band, 4, 5) = 255;
  // Row 0 and the last row are masked too: the 3 x 3 window may not leave the band.
  for (int c = 0; c < 320; ++c) at(mask, 0, c + 0) = at(mask, kRows - 1, c) = c == 5 ? 0 : 1;
  at(band, 0, 9) = at(band, kRows - 1, 9) = 255;
  ASSERT_EQ(MaskedMedianBand(band.data(), kRows, mask.data(), -3, kRows + 4), 0);
  EXPECT_EQ(at(band, 2, 5), 10);
  EXPECT_EQ(at(band, 4, 5), 255);
  EXPECT_EQ(at(band, 0, 9), 255);
  EXPECT_EQ(at(band, kRows - 1, 9), 255);

  FailNthAllocation(1);
  EXPECT_EQ(MaskedMedianBand(band.data(), kRows, mask.data(), 0, kRows - 1), -1);
  FailNthAllocation(0);
}

TEST_F(Measures, ValleyResponseBandMarksValleysInsideTheMask) {
  constexpr int kRows = 40;
  Plane band(320 * kRows, 150), mask(320 * kRows, 1);
  for (int c = 0; c < 320; ++c) band[20 * 320 + c] = 149;  // a valley one grey level deep
  Plane filtered = band;
  ASSERT_EQ(ValleyResponseBand(filtered.data(), kRows, mask.data(), 0, kRows - 1), 0);
  // 12 (2 + 0 + 1 + 1) + 4 (4 x 1.6) = 73.6 on the valley row, 0 everywhere else.
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < 320; ++c) {
      const int expected = r == 20 && c >= 8 && c <= 311 ? 73 : 0;
      ASSERT_EQ(filtered[r * 320 + c], expected) << r << "," << c;
    }
  }
  // A mask 16 rows high holds no full 17 x 17 window; bounds beyond the band are kept in it.
  Plane narrow(320 * kRows, 0);
  for (int i = 12 * 320; i < 28 * 320; ++i) narrow[i] = 1;
  filtered = band;
  ASSERT_EQ(ValleyResponseBand(filtered.data(), kRows, narrow.data(), -50, kRows + 50), 0);
  EXPECT_EQ(filtered, Plane(320 * kRows, 0));

  for (int n : {1, 2}) {
    filtered = band;
    FailNthAllocation(n);
    EXPECT_EQ(ValleyResponseBand(filtered.data(), kRows, mask.data(), 0, kRows - 1), 3012);
    FailNthAllocation(0);
    EXPECT_EQ(filtered, band);
  }
}

}  // namespace
