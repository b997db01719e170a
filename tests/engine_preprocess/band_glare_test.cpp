#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "planes.h"
#include "preprocess/preprocess_steps.h"

namespace {

using fvtest::kH;
using fvtest::kW;
using fvtest::Plane;

// Rows 0..rows-1 of every column become 0.
Plane ZeroTop(Plane p, int rows) {
  return p.Fill(0, rows - 1, 0, kW - 1, 0);
}

// Two 255 runs per column of columns x0..x1: rows a0..a1 and b0..b1.
Plane TwoRuns(int x0, int x1, int a0, int a1, int b0, int b1, Plane p = Plane(100)) {
  p.Fill(a0, a1, x0, x1, 255);
  return p.Fill(b0, b1, x0, x1, 255);
}

struct BandCase {
  std::string name;
  Plane input;
  int status;
  std::function<Plane(const Plane&)> expected;
};

void PrintTo(const BandCase& c, std::ostream* os) {
  *os << c.name;
}

class SaturatedBands : public ::testing::TestWithParam<BandCase> {};

TEST_P(SaturatedBands, RemovesTheBandAndBeyond) {
  const BandCase& c = GetParam();
  Plane out(7);
  EXPECT_EQ(veltrum::SuppressSaturatedBands(c.input.data(), out.data()), c.status);
  EXPECT_TRUE(out == c.expected(c.input));
}

Plane SlopedGap(int base, int slope) {
  // Gap rows centred on base + slope * x in columns 0..29, seven rows each way.
  Plane p(100);
  for (int x = 0; x < 30; ++x) {
    const int m = base + slope * x;
    p.Fill(m - 10, m - 7, x, x, 255).Fill(m + 7, m + 10, x, x, 255);
  }
  return p;
}

Plane ManySmallGaps() {
  // The wanted band in columns 0..29 plus 700 tiny components: runs of three rows every ten
  // rows in every other column.
  Plane p = TwoRuns(0, 29, 5, 8, 20, 23);
  for (int x = 40; x < kW - 1; x += 2) {
    for (int y = 30; y <= 80; y += 10) p.Fill(y, y + 2, x, x, 255);
  }
  return p;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaturatedBands,
    ::testing::Values(
        BandCase{"NothingSaturated", Plane(100), 1, [](const Plane& p) { return p; }},
        BandCase{"SaturatedMiddleRow", TwoRuns(0, 29, 5, 8, 20, 23).Fill(150, 150, 3, 3, 255), 1,
                 [](const Plane& p) { return p; }},
        BandCase{"OneRunPerColumn", Plane(100).Fill(5, 8, 0, 319, 255), 1,
                 [](const Plane& p) { return p; }},
        // Gap rows 8..20 (mean 14) over 30 columns, carried on flat to the right.
        BandCase{"FlatTopBand", TwoRuns(0, 29, 5, 8, 20, 23), 0,
                 [](const Plane& p) { return ZeroTop(p, 14); }},
        BandCase{"BandAwayFromColumnZero", TwoRuns(5, 34, 5, 8, 20, 23), 0,
                 [](const Plane& p) { return p; }},
        // 30 columns x 5 rows: 150 pixels is not enough.
        BandCase{"SmallComponent", TwoRuns(0, 29, 5, 8, 12, 15), 0,
                 [](const Plane& p) { return p; }},
        // Mean rows 40 - x: the right fit keeps its slope towards row 0 and dies out at 40.
        BandCase{"RisingTowardsTheBorder", SlopedGap(40, -1), 0,
                 [](const Plane& p) {
                   Plane e = p;
                   for (int x = 0; x < 40; ++x) e.Fill(0, 40 - x - 1, x, x, 0);
                   return e;
                 }},
        // Mean rows 20 + x: a right slope away from the border is flattened (line row 20).
        BandCase{"FallingAwayIsFlattened", SlopedGap(20, 1), 0,
                 [](const Plane& p) {
                   Plane e = p;
                   for (int x = 0; x < 30; ++x) e.Fill(0, 20 + x - 1, x, x, 0);
                   return e.Fill(0, 19, 30, kW - 1, 0);
                 }},
        // Gap rows 223..230 (mean 226): rows 227..239 go in every column.
        BandCase{"FlatBottomBand", TwoRuns(0, 29, 220, 223, 230, 233), 0,
                 [](const Plane& p) { return Plane(p).Fill(227, kH - 1, 0, kW - 1, 0); }},
        BandCase{"HundredsOfComponents", ManySmallGaps(), 0,
                 [](const Plane& p) { return ZeroTop(p, 14); }}),
    [](const auto& info) { return info.param.name; });

struct GlareCase {
  std::string name;
  int firstStrip, lastStrip;  // glare strips, columns 10 s .. 10 s + 9
};

void PrintTo(const GlareCase& c, std::ostream* os) {
  *os << c.name;
}

// A finger in rows 60..179 (one-row ramps at its edges, so each edge is one peak) with glare
// just above its upper edge, in rows 40..59, in the given strips.
Plane GlareFinger(const GlareCase& c) {
  Plane p(30);
  p.Fill(60, 60, 0, kW - 1, 90).Fill(61, 178, 0, kW - 1, 150).Fill(179, 179, 0, kW - 1, 90);
  for (int s = c.firstStrip; s <= c.lastStrip; ++s) {
    p.Fill(40, 40, 10 * s, 10 * s + 9, 142).Fill(41, 59, 10 * s, 10 * s + 9, 255);
    p.Fill(60, 60, 10 * s, 10 * s + 9, 202);
  }
  return p;
}

class EdgeGlare : public ::testing::TestWithParam<GlareCase> {};

TEST_P(EdgeGlare, ClearsGlareWhereTheEdgeJumps) {
  const Plane in = GlareFinger(GetParam());
  Plane out(7);
  EXPECT_EQ(veltrum::SuppressEdgeGlare(in.data(), out.data()), 0);
  Plane expected = in;
  for (auto& v : expected.px) v = v >= 250 ? 0 : v;
  EXPECT_TRUE(out == expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, EdgeGlare,
                         ::testing::Values(GlareCase{"Middle", 10, 15}, GlareCase{"LeftSide", 0, 2},
                                           GlareCase{"RightSide", 29, 31},
                                           GlareCase{"Narrow", 20, 20}),
                         [](const auto& info) { return info.param.name; });

TEST(EdgeGlare, TwoGlareSpotsAreMarkedPairwise) {
  Plane in = GlareFinger({"", 4, 5});
  const Plane second = GlareFinger({"", 11, 12});
  for (int x = 110; x < 130; ++x) {
    for (int y = 0; y < kH; ++y) in.at(y, x) = second.at(y, x);
  }
  Plane out;
  veltrum::SuppressEdgeGlare(in.data(), out.data());
  Plane expected = in;
  for (auto& v : expected.px) v = v >= 250 ? 0 : v;
  EXPECT_TRUE(out == expected);
}

TEST(EdgeGlare, KeepsGlareWithoutAJump) {
  struct Case {
    std::string name;
    Plane input;
  };
  for (const Case& c :
       {Case{"NoBrightPixels", GlareFinger({"", 0, -1})},
        Case{"GlareInEveryStrip", GlareFinger({"", 0, 31})},
        Case{"GlareInsideTheFinger", GlareFinger({"", 0, -1}).Fill(100, 104, 150, 151, 252)}}) {
    Plane out;
    EXPECT_EQ(veltrum::SuppressEdgeGlare(c.input.data(), out.data()), 0);
    EXPECT_TRUE(out == c.input) << c.name;
  }
}

}  // namespace
