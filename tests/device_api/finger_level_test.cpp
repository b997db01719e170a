#include <gtest/gtest.h>

#include <vector>

#include "acquire/finger_level.h"

namespace {

TEST(HistogramLevel, SpreadCrowdedAndFlatHistograms) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> bins;  // (bin, count)
    int n;
    int level;
  };
  std::vector<std::pair<int, int>> spread;
  for (int b = 20; b < 221; ++b) spread.push_back({b, 10});  // 201 bins, median at 120
  const Case cases[] = {
      {"spread: the median bin", spread, 2010, 120},
      {"two crowded bins far apart", {{40, 100}, {160, 100}, {161, 10}}, 210, 100},
      {"crowded bins too close", {{40, 100}, {80, 100}, {81, 10}}, 210, 0},
      {"crowded bin 0 leaves the start to the next", {{0, 500}, {30, 60}, {120, 60}, {121, 1}}, 621, 75},
      {"nothing crowded", {{10, 50}, {200, 50}}, 100, 0},
      {"spread found only after the last crowded bin is left", {{0, 60}, {100, 60}, {255, 60}}, 180, 0},
  };
  for (const auto& c : cases) {
    int histogram[256] = {};
    for (auto [bin, count] : c.bins) histogram[bin] = count;
    EXPECT_EQ(dravex::histogramLevel(histogram, c.n), c.level) << c.what;
  }
}

// Each boundary of the rule on both sides, worked out by hand.
TEST(HistogramLevel, Boundaries) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> bins;  // (bin, count)
    int n;
    int level;
  };
  std::vector<std::pair<int, int>> bins100, bins101;
  for (int b = 0; b < 100; ++b) bins100.push_back({b, 10});
  for (int b = 0; b <= 100; ++b) bins101.push_back({b, 10});
  auto bins100PlusOne = bins100;
  bins100PlusOne.push_back({100, 1});
  const Case cases[] = {
      // 100 non-empty bins are not spread; nothing is crowded either.
      {"100 bins", bins100, 1000, 0},
      // 101 bins: n / 2 = 500 (integer division of 1001); the running sum reaches it at bin 49.
      {"101 bins, the sum reaching n / 2", bins101, 1001, 49},
      // A bin of one pixel is not empty: 101 bins again.
      {"101 bins, the last of one pixel", bins100PlusOne, 1001, 49},
      {"51 pixels are crowded", {{40, 51}, {100, 51}, {101, 1}}, 103, 70},
      {"50 pixels are not", {{40, 50}, {100, 51}, {101, 1}}, 102, 0},
      {"b - c of 50 is not enough", {{40, 60}, {90, 60}, {91, 1}}, 121, 0},
      {"b - c of 51 is, halved downwards", {{40, 60}, {91, 60}, {92, 1}}, 121, 65},
  };
  for (const auto& c : cases) {
    int histogram[256] = {};
    for (auto [bin, count] : c.bins) histogram[bin] = count;
    EXPECT_EQ(dravex::histogramLevel(histogram, c.n), c.level) << c.what;
  }
}

TEST(FingerRegionLevel, ReadsOnlyTheCentralRegion) {
  std::vector<std::uint8_t> frame(320 * 240, 250);
  // A spread ramp inside rows 60..179, columns 50..189; the bright surround must not count.
  for (int row = 60; row < 180; ++row) {
    for (int col = 50; col < 190; ++col) frame[row * 320 + col] = static_cast<std::uint8_t>(col - 50 + 10);
  }
  EXPECT_EQ(dravex::fingerRegionLevel(frame.data()), 79);  // median of 10..149
  // Column 189 (inside) and column 190 (outside) dark: 120 pixels at 0 count, the rest do not.
  // Bins 0 and 10..148 hold 120 each; 120 + 69 x 120 reaches 16800 / 2 at bin 78.
  for (int row = 60; row < 180; ++row) frame[row * 320 + 189] = frame[row * 320 + 190] = 0;
  EXPECT_EQ(dravex::fingerRegionLevel(frame.data()), 78);
  std::vector<std::uint8_t> flat(320 * 240, 128);
  // One crowded bin only: no spread between first and last crowded bin.
  EXPECT_EQ(dravex::fingerRegionLevel(flat.data()), 0);
}

}  // namespace
