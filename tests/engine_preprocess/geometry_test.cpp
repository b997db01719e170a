#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>

#include "planes.h"
#include "preprocess/preprocess_steps.h"

namespace {

using fvtest::Edges;
using fvtest::kH;
using fvtest::kW;
using fvtest::Plane;

// A plane whose every pixel tells where it came from.
Plane Pattern() {
  Plane p;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) p.at(y, x) = static_cast<std::uint8_t>((7 * y + 3 * x) % 251);
  }
  return p;
}

TEST(FillFingerMask, SetsRowsBetweenTheEdges) {
  Edges e = Edges::Flat(50, 59, 10, 19);
  e.upper[20] = 80;  // upper below lower: no finger
  e.lower[20] = 70;
  e.upper[21] = 5;  // one edge only
  Plane mask(9);
  EXPECT_EQ(veltrum::FillFingerMask(e.upper.data(), e.lower.data(), mask.data()), 100);
  EXPECT_TRUE(mask == Plane(0).Fill(50, 59, 10, 19, 1));
}

struct AxisCase {
  std::string name;
  std::function<int(int)> upper, lower;  // rows per column, 0 = none
  float slope;
  float intercept;  // 99 = left as it was
  int upperVaries, lowerVaries;
};

void PrintTo(const AxisCase& c, std::ostream* os) {
  *os << c.name;
}

class FitFingerAxisCases : public ::testing::TestWithParam<AxisCase> {};

TEST_P(FitFingerAxisCases, SlopeAndFlags) {
  const AxisCase& c = GetParam();
  Edges e;
  for (int x = 0; x < kW; ++x) {
    e.upper[x] = static_cast<std::int16_t>(c.upper(x));
    e.lower[x] = static_cast<std::int16_t>(c.lower(x));
  }
  float slope = 99, intercept = 99;
  int uf = 9, lf = 9;
  EXPECT_EQ(veltrum::FitFingerAxis(slope, intercept, e.upper.data(), e.lower.data(), uf, lf), 0);
  EXPECT_EQ(uf, c.upperVaries);
  EXPECT_EQ(lf, c.lowerVaries);
  EXPECT_FLOAT_EQ(slope, c.slope);
  EXPECT_FLOAT_EQ(intercept, c.intercept);
}

int Inside(int x, int x0, int x1, int v) {
  return x >= x0 && x <= x1 ? v : 0;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitFingerAxisCases,
    ::testing::Values(
        AxisCase{"Level", [](int) { return 60; }, [](int) { return 180; }, 0, 99, 0, 0},
        AxisCase{"NoEdges", [](int) { return 0; }, [](int) { return 0; }, 0, 99, 0, 0},
        // Edges only from column 305: nothing to measure, no division by zero.
        AxisCase{"FingerOnlyAtTheRight", [](int x) { return Inside(x, 305, 319, 60); },
                 [](int x) { return Inside(x, 305, 319, 180); }, 0, 99, 0, 0},
        // From column 300 the span 300..299 holds no column at all (n = 0), wobble or not.
        AxisCase{"FingerFromColumn300", [](int x) { return Inside(x, 300, 319, x % 2 ? 70 : 50); },
                 [](int x) { return Inside(x, 300, 319, 180); }, 0, 99, 0, 0},
        // Mean squared deviation 4 is still level, 9 is not.
        AxisCase{"SmallWobbleIsLevel", [](int x) { return x % 2 ? 62 : 58; },
                 [](int) { return 180; }, 0, 99, 0, 0},
        // Symmetric about column 160, so the fitted line over 80..240 is level at the mean.
        AxisCase{"LargerWobbleVaries", [](int x) { return x % 2 ? 63 : 57; },
                 [](int) { return 180; }, 0, 9657.0f / 161.0f, 1, 0},
        // Both edges rise one row per column: the midline x - 35 is fitted.
        AxisCase{"BothEdgesTilted", [](int x) { return Inside(x, 80, 240, x - 60); },
                 [](int x) { return Inside(x, 80, 240, x - 10); }, 1.0f, -35.0f, 1, 1},
        // One edge wanders: its own line, at half the slope.
        AxisCase{"OnlyUpperTilted", [](int x) { return Inside(x, 80, 240, x - 60); },
                 [](int x) { return Inside(x, 80, 240, 235); }, 0.5f, -60.0f, 1, 0},
        AxisCase{"OnlyLowerTilted", [](int x) { return Inside(x, 80, 240, 10); },
                 [](int x) { return Inside(x, 80, 240, x - 10); }, 0.5f, -10.0f, 0, 1}),
    [](const auto& info) { return info.param.name; });

TEST(RotateFinger, LevelFingerIsShiftedToTheMiddleRow) {
  struct Case {
    std::string name;
    Edges edges;
    int shift;  // output row y takes input row y - shift
  };
  Edges gap = Edges::Flat(40, 160, 0, 158);
  gap.upper[163] = 80;  // farther from 160 than column 158
  gap.lower[163] = 200;
  for (const Case& c :
       {Case{"CentredFinger", Edges::Flat(40, 200), 0},
        Case{"HighFinger", Edges::Flat(40, 160), 20}, Case{"LowFinger", Edges::Flat(100, 220), -40},
        // Column 160 has no edges: the nearest column with both decides.
        Case{"CentreColumnWithoutEdges", gap, 20}}) {
    const Plane in = Pattern();
    Plane image = in, mask1 = in, mask2 = in;
    ASSERT_EQ(veltrum::RotateFinger(image.data(), mask1.data(), mask2.data(), 0.0f,
                                    c.edges.upper.data(), c.edges.lower.data()),
              0);
    Plane expected;
    for (int y = 0; y < kH; ++y) {
      const int from = y - c.shift;
      // The last row and column have no lower or right neighbour to blend with.
      if (from < 0 || from > kH - 2) continue;
      for (int x = 0; x < kW - 1; ++x) expected.at(y, x) = in.at(from, x);
    }
    EXPECT_TRUE(image == expected) << c.name;
    EXPECT_TRUE(mask1 == expected && mask2 == expected) << c.name;
  }
}

TEST(RotateFinger, TiltedBandBecomesLevelAndMasksStayBinary) {
  // A band of slope 0.1 through (160, 120), 80 rows high.
  Plane image(20), mask;
  for (int x = 0; x < kW; ++x) {
    const int centre = 120 + (x - 160) / 10;
    image.Fill(centre - 40, centre + 40, x, x, 200);
    mask.Fill(centre - 40, centre + 40, x, x, 1);
  }
  Plane mask2 = mask;
  const Edges e = Edges::Flat(80, 160);
  ASSERT_EQ(veltrum::RotateFinger(image.data(), mask.data(), mask2.data(), 0.1f, e.upper.data(),
                                  e.lower.data()),
            0);
  EXPECT_TRUE(std::all_of(mask.px.begin(), mask.px.end(), [](std::uint8_t v) { return v <= 1; }));
  for (const int x : {40, 160, 280}) {
    int first = kH, last = -1;
    for (int y = 0; y < kH; ++y) {
      if (mask.at(y, x)) first = std::min(first, y), last = y;
    }
    EXPECT_NEAR(first, 80, 2) << x;
    EXPECT_NEAR(last, 160, 2) << x;
    EXPECT_EQ(image.at(120, x), 200) << x;
  }
}

TEST(MaskEdgeRows, EdgesAndBounds) {
  struct Case {
    std::string name;
    Plane mask;
    int top, bottom;
    int upper0, lower0;  // of column 0
  };
  for (const Case& c :
       {Case{"FullWidth", Plane().Fill(50, 150, 0, kW - 1, 1), 50, 150, 50, 150},
        Case{"MissingColumn", Plane().Fill(50, 150, 1, kW - 1, 1), 1, 150, 0, 0},
        Case{"ReachesLastRow", Plane().Fill(60, 239, 0, kW - 1, 1), 60, 238, 60, 239},
        // Row 0 is never an edge.
        Case{"FromRowZero", Plane().Fill(0, 100, 0, kW - 1, 1), 1, 100, 1, 100},
        Case{"Empty", Plane(), 1, 0, 0, 0}}) {
    Edges e = Edges::Flat(7, 7);
    int top = -5, bottom = -5;
    veltrum::MaskEdgeRows(e.upper.data(), e.lower.data(), c.mask.data(), top, bottom);
    EXPECT_EQ(top, c.top) << c.name;
    EXPECT_EQ(bottom, c.bottom) << c.name;
    EXPECT_EQ(e.upper[0], c.upper0) << c.name;
    EXPECT_EQ(e.lower[0], c.lower0) << c.name;
  }
}

// Rows of the first and last 1 in column x, or (-1, -1).
std::pair<int, int> MaskRun(const Plane& mask, int x) {
  int first = -1, last = -1;
  for (int y = 0; y < kH; ++y) {
    if (mask.at(y, x)) {
      if (first < 0) first = y;
      last = y;
    }
  }
  return {first, last};
}

TEST(NormaliseFingerWidth, ScaleOneKeepsRowsOneTo238) {
  struct Case {
    std::string name;
    Edges edges;
  };
  // With no finger column between 80 and 240 the width is unknown: kept unscaled.
  // Edges in columns 0..80 give c0 = c1 = 80: no column to divide the width sum by.
  for (const Case& c : {Case{"WidthOf120", Edges::Flat(60, 180)},
                        Case{"NoColumnToMeasure", Edges::Flat(60, 100, 0, 79)},
                        Case{"MeasuringLimitsMeet", Edges::Flat(60, 100, 0, 80)}}) {
    const Plane in = Pattern();
    Plane image = in, mask = Plane().Fill(60, 180, 0, kW - 1, 1);
    ASSERT_EQ(veltrum::NormaliseFingerWidth(c.edges.upper.data(), c.edges.lower.data(),
                                            image.data(), mask.data()),
              0);
    Plane expected = in;
    expected.Fill(0, 0, 0, kW - 1, 0).Fill(kH - 1, kH - 1, 0, kW - 1, 0);
    EXPECT_TRUE(image == expected) << c.name;
    // Each run loses its last row, whose lower neighbour is outside the finger.
    EXPECT_TRUE(mask == Plane().Fill(60, 179, 0, kW - 1, 1)) << c.name;
  }
}

TEST(NormaliseFingerWidth, WideFingersShrinkNarrowOnesGrow) {
  struct Case {
    int upper, lower;
    int first, last;  // of the scaled run, within a row
  };
  // k = 1 + 0.35 (w / 120 - 1): a 180-row finger by 1.175, a 60-row one by 0.825.
  for (const Case& c : {Case{30, 210, 44, 196}, Case{90, 150, 84, 156}}) {
    const Edges e = Edges::Flat(c.upper, c.lower);
    Plane image = Plane(10).Fill(c.upper, c.lower, 0, kW - 1, 200);
    Plane mask = Plane().Fill(c.upper, c.lower, 0, kW - 1, 1);
    ASSERT_EQ(
        veltrum::NormaliseFingerWidth(e.upper.data(), e.lower.data(), image.data(), mask.data()),
        0);
    const auto [first, last] = MaskRun(mask, 100);
    EXPECT_NEAR(first, c.first, 1) << c.upper;
    EXPECT_NEAR(last, c.last, 1) << c.upper;
    EXPECT_EQ(image.at(120, 100), 200);
  }
}

TEST(NormaliseFingerWidth, SourceRowsStayInTheFrameForEveryWidth) {
  for (int width = 0; width < kH; width += 7) {
    const Edges e = Edges::Flat(1, 1 + width);
    Plane image = Pattern(), mask(1);
    ASSERT_EQ(
        veltrum::NormaliseFingerWidth(e.upper.data(), e.lower.data(), image.data(), mask.data()), 0)
        << width;
    EXPECT_EQ(mask.at(120, 0), 1) << width;
  }
}

TEST(UnwrapFingerSection, ReachAndSourceRowsOfOneColumn) {
  struct Case {
    int flag;
    int reach;  // rows resampled on the flagged side, from the middle
  };
  for (const Case& c : {Case{0, 69}, Case{1, 67}}) {
    // h = 60 about the middle row 120; the source outside the finger is 0, so a read beyond
    // rows 60..180 would darken the result.
    Edges e;
    e.upper[100] = 60;
    e.lower[100] = 180;
    Plane image = Plane(0).Fill(60, 180, 100, 100, 200);
    Plane mask = Plane().Fill(60, 180, 100, 100, 1);
    ASSERT_EQ(veltrum::UnwrapFingerSection(e.lower.data(), c.flag, 0, e.upper.data(), image.data(),
                                           mask.data()),
              0);
    Plane expected(255);
    expected.Fill(0, 0, 5, kW - 6, 0);  // columns without edges keep their row 0
    expected.at(0, 100) = 255;
    expected.Fill(120 - 68, 120 + c.reach - 1, 100, 100, 200);
    EXPECT_TRUE(image == expected) << c.flag;
    EXPECT_EQ(MaskRun(mask, 100), std::make_pair(120 - 68, 120 + c.reach - 1)) << c.flag;
  }
}

TEST(UnwrapFingerSection, ColumnWithoutEdgesKeepsOnlyRowZero) {
  Plane image = Pattern(), mask;
  const Edges none;
  ASSERT_EQ(veltrum::UnwrapFingerSection(none.lower.data(), 0, 0, none.upper.data(), image.data(),
                                         mask.data()),
            0);
  Plane expected(255);
  for (int x = 5; x < kW - 5; ++x) expected.at(0, x) = Pattern().at(0, x);
  EXPECT_TRUE(image == expected);
  EXPECT_TRUE(mask == Plane());
}

TEST(UnwrapFingerSection, MiddleIsKeptAndFlanksSpreadOut) {
  // A ramp of one grey level per row: resampled rows near the middle follow it one to one, and
  // towards the flanks each output row advances by less than one source row.
  Plane image, mask;
  for (int y = 0; y < kH; ++y) image.Fill(y, y, 0, kW - 1, static_cast<std::uint8_t>(y));
  const Edges e = Edges::Flat(60, 180);
  ASSERT_EQ(
      veltrum::UnwrapFingerSection(e.lower.data(), 0, 0, e.upper.data(), image.data(), mask.data()),
      0);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_NEAR(image.at(120 + i, 50), 120 + i, 1) << i;
    EXPECT_NEAR(image.at(120 - i, 50), 120 - i, 1) << i;
  }
  EXPECT_NEAR(image.at(130, 50) - image.at(120, 50), 10, 1);
  EXPECT_LT(image.at(188, 50) - image.at(178, 50), 8);
  EXPECT_LT(image.at(188, 50), 180);  // the last row read stays inside the finger
  EXPECT_EQ(image.at(189, 50), 255);
  EXPECT_EQ(image.at(100, 2), 255);  // columns 0..4 are not resampled
}

}  // namespace
