#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "planes.h"
#include "preprocess/brighten_row.h"
#include "preprocess/equalise_windows.h"
#include "preprocess/preprocess_image.h"
#include "preprocess/preprocess_steps.h"
#include "tables/lookup_tables.h"

namespace {

using fvtest::kH;
using fvtest::kW;
using fvtest::Plane;

TEST(EqualiseLocalHistogram, RanksWithinTheWindow) {
  struct Case {
    std::string name;
    int x, value;
  };
  // Three finger pixels in one row, values 10, 20, 30: ranks 1, 2, 3 of n = 3, inclusive.
  Plane image(77), mask;
  image.at(100, 40) = 10;
  image.at(100, 41) = 20;
  image.at(100, 42) = 30;
  mask.Fill(100, 100, 40, 42, 1);
  image.at(100, 200) = 90;  // alone in its window
  mask.at(100, 200) = 1;
  ASSERT_EQ(veltrum::EqualiseLocalHistogram(image.data(), mask.data(), 100, 100), 0);
  for (const Case& c : {Case{"Lowest", 40, 85}, Case{"Middle", 41, 170}, Case{"Highest", 42, 255},
                        Case{"Single", 200, 255}, Case{"OutsideMask", 43, 0}}) {
    EXPECT_EQ(image.at(100, c.x), c.value) << c.name;
  }
}

TEST(EqualiseLocalHistogram, DarkSpreadWindowRanksStrictly) {
  struct Case {
    std::string name;
    int size;  // square finger block around (120, 161), a column that is a window's centre
    int darkest;
  };
  // 31 x 31 = 961 dark pixels spread over 0..99: strict, the darkest maps to 0. In a block of
  // 21 x 21 = 441 (not above 750) ranks are inclusive: the unique 0 has rank 1 of 441.
  for (const Case& c : {Case{"LargeDarkWindow", 31, 0}, Case{"SmallDarkWindow", 21, 1}}) {
    Plane image, mask;
    const int h = c.size / 2;
    int k = 1;
    for (int y = 120 - h; y <= 120 + h; ++y) {
      for (int x = 161 - h; x <= 161 + h; ++x, ++k) {
        image.at(y, x) = static_cast<std::uint8_t>(k % 99 + 1);
      }
    }
    image.at(120, 161) = 0;
    mask.Fill(120 - h, 120 + h, 161 - h, 161 + h, 1);
    ASSERT_EQ(veltrum::EqualiseLocalHistogram(image.data(), mask.data(), 120 - h, 120 + h), 0);
    EXPECT_EQ(image.at(120, 161), c.darkest) << c.name;
  }
}

TEST(EqualiseLocalHistogram, UniformFingerIsWhiteAndRowsOutsideTheLimitsAreCleared) {
  Plane image(90);
  const Plane mask = Plane().Fill(2, 237, 0, kW - 1, 1);
  ASSERT_EQ(veltrum::EqualiseLocalHistogram(image.data(), mask.data(), 2, 237), 0);
  // Rows 16..224 and columns 1..318 are ranked; the rest of the plane is 0.
  Plane expected = Plane().Fill(16, 224, 1, kW - 2, 255);
  EXPECT_TRUE(image == expected);
}

// Ranks every step afresh from a histogram of its whole window, as the rule reads.
Plane RankByCounting(const Plane& image, const Plane& mask, int t, int b) {
  Plane out;
  for (int y = t; y <= b; ++y) {
    for (int x = 2; x <= kW - 3; x += 3) {
      if (!mask.at(y, x - 1) && !mask.at(y, x) && !mask.at(y, x + 1)) continue;
      int bins[256] = {};
      for (int wy = y - 15; wy <= y + 15; ++wy) {
        for (int wx = std::max(0, x - 15); wx <= std::min(kW - 1, x + 15); ++wx) {
          if (mask.at(wy, wx)) ++bins[image.at(wy, wx)];
        }
      }
      const auto count = [&](int from, int to) {  // values from..to
        int s = 0;
        for (int v = std::max(from, 0); v <= std::min(to, 255); ++v) s += bins[v];
        return s;
      };
      const int c = mask.at(y, x)       ? image.at(y, x)
                    : mask.at(y, x + 1) ? image.at(y, x + 1)
                                        : image.at(y, x - 1);
      const int n = count(0, 255), dark = count(0, 127), near = count(c - 2, c + 2);
      const bool strict = dark > n / 2 && dark > 750 && 10 * near < 9 * n;
      const int rankC = count(0, c - 1) + (strict ? 0 : bins[c]);
      for (int col = x - 1; col <= x + 1; ++col) {
        if (!mask.at(y, col)) continue;
        const int v = image.at(y, col);
        const int rank = v < c ? rankC - count(v, c - 1) : rankC + count(c + 1, v);
        out.at(y, col) = static_cast<std::uint8_t>((255 * rank + n / 2) / n);
      }
    }
  }
  return out;
}

// A dark, noisy left part (strict windows), a bright ramp with noise on the right, and a plateau
// (inclusive windows with many equal values); the mask is ragged and holed and reaches both
// sides of the frame.
struct Scene {
  Plane image, mask;
  Scene() {
    unsigned noise = 12345;
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        noise = noise * 1103515245u + 12345u;
        const int r = static_cast<int>(noise >> 16);
        int v = x < 110 ? r % 100 : std::min(255, (x + 2 * y) / 2 + r % 41);
        if (x >= 200 && x < 240 && y >= 40 && y < 60) v = 77;
        image.at(y, x) = static_cast<std::uint8_t>(v);
        mask.at(y, x) = y >= 10 + x % 7 && y <= 200 - x % 5 && r % 13 != 0;
      }
    }
  }
};

TEST(EqualiseLocalHistogram, AgreesWithCountingEachWindow) {
  const Scene scene;
  for (const auto& [top, bottom] : {std::pair{0, 90}, std::pair{180, 239}}) {
    Plane image = scene.image;
    ASSERT_EQ(veltrum::EqualiseLocalHistogram(image.data(), scene.mask.data(), top, bottom), 0);
    EXPECT_TRUE(image ==
                RankByCounting(scene.image, scene.mask, std::max(top, 16), std::min(bottom, 224)))
        << top << ".." << bottom;
  }
}

TEST(EqualiseLocalHistogram, PlainSumsAgreeWithTheVectors) {
  const Scene scene;
  auto work = std::make_unique<veltrum::EqualiseWork>();
  std::copy(scene.image.px.begin(), scene.image.px.end(), work->copy);
  Plane plain, vector;
  veltrum::RankEqualiseRowsPlain(*work, scene.mask.data(), 16, 224, plain.data());
  veltrum::RankEqualiseRows(*work, scene.mask.data(), 16, 224, vector.data());
  EXPECT_TRUE(plain == vector);
  EXPECT_TRUE(plain == RankByCounting(scene.image, scene.mask, 16, 224));
}

class Brighten : public ::testing::Test {
 protected:
  void SetUp() override { veltrum::BuildLookupTables(); }
  std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(veltrum::kIntegralScratchBytes + 1);
};

TEST_F(Brighten, UniformNeighbourhoodGivesTwicePointOneTimesGrey) {
  struct Case {
    int grey, result;
  };
  const Plane mask = Plane().Fill(50, 190, 10, 310, 1);
  for (const Case& c : {Case{0, 0}, Case{10, 21}, Case{50, 105}, Case{100, 210}, Case{121, 254},
                        Case{122, 255}, Case{200, 255}}) {
    Plane image(static_cast<std::uint8_t>(c.grey));
    // Scratch one byte off alignment: the step must not care.
    ASSERT_EQ(veltrum::BrightenLocalMean(image.data(), mask.data(), scratch.data() + 1, 50, 190),
              0);
    EXPECT_EQ(image.at(120, 160), c.result) << c.grey;
    EXPECT_EQ(image.at(50, 10), c.result) << "corner, " << c.grey;
    EXPECT_EQ(image.at(49, 160), 255) << "outside, " << c.grey;
  }
}

TEST_F(Brighten, EveryWindowSizeKeepsAUniformMean) {
  // Windows of 1, 4, 9 .. 49 finger pixels, every grey: sum x 1/n must not fall below it.
  Plane mask;
  for (int n = 1; n <= 7; ++n) mask.Fill(20 * n, 20 * n + n - 1, 40, 40 + n - 1, 1);
  for (int grey = 0; grey < 122; ++grey) {
    Plane image(static_cast<std::uint8_t>(grey));
    ASSERT_EQ(veltrum::BrightenLocalMean(image.data(), mask.data(), scratch.data(), 1, 238), 0);
    for (int n = 1; n <= 7; ++n) {
      ASSERT_EQ(image.at(20 * n + n / 2, 40 + n / 2), grey * 21 / 10) << grey << " " << n;
    }
  }
}

TEST_F(Brighten, HighVarianceTurnsWhite) {
  Plane image, mask = Plane().Fill(50, 190, 10, 310, 1);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) image.at(y, x) = (x + y) % 2 ? 20 : 160;
  }
  image.Fill(100, 140, 200, 220, 0).Fill(100, 140, 221, 240, 150);
  ASSERT_EQ(veltrum::BrightenLocalMean(image.data(), mask.data(), scratch.data(), 50, 190), 0);
  // 25 x 160 and 24 x 20: mean 91.4, variance 4898, just below the limit of 5000.
  EXPECT_EQ(image.at(70, 100), 191);
  // 28 x 0 and 21 x 150: variance 5510.
  EXPECT_EQ(image.at(120, 220), 255);
}

TEST_F(Brighten, SumsOfSquaresWrapWithoutHarm) {
  // A whole-frame finger of 250 makes the running sum of squares pass 2^32 long before the
  // bottom-right corner, where a uniform patch of 100 must still come out as 210.
  Plane image(250), mask(1);
  image.Fill(200, 238, 270, 319, 100);
  ASSERT_EQ(veltrum::BrightenLocalMean(image.data(), mask.data(), scratch.data(), 1, 238), 0);
  EXPECT_EQ(image.at(230, 310), 210);
  EXPECT_EQ(image.at(100, 100), 255);
}

TEST_F(Brighten, VectorRowsMatchThePlainRow) {
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    // Column sums of up to 7 pixels each, of greys near one level (low variance, the brightened
    // mean) or spread over the whole range (white), with empty columns between.
    std::uint32_t seed = 7;
    const auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int row = 0; row < 200; ++row) {
      std::vector<std::int32_t> count(veltrum::kBrightenColumns, 0), value(count), square(count);
      const int level = static_cast<int>(next() % 256), spread = row % 2 ? 256 : 12;
      for (int x = veltrum::kBrightenReach; x < veltrum::kBrightenReach + kW; ++x) {
        count[x] = static_cast<std::int32_t>(next() % 9) % 8;
        for (int k = 0; k < count[x]; ++k) {
          const int grey =
              std::clamp(level - spread / 2 + static_cast<int>(next() % spread), 0, 255);
          value[x] += grey;
          square[x] += grey * grey;
        }
      }
      std::vector<std::uint8_t> maskRow(kW), plain(kW, 1), vector(kW, 2);
      for (std::uint8_t& m : maskRow) m = next() % 5 != 0;
      veltrum::BrightenRow(count.data(), value.data(), square.data(), maskRow.data(), 0, kW,
                           plain.data());
      veltrum::BrightenRowSimd(count.data(), value.data(), square.data(), maskRow.data(), 0, kW,
                               vector.data());
      ASSERT_EQ(vector, plain) << hwy::TargetName(target) << ", row " << row;
      // A span that ends past the last whole vector.
      veltrum::BrightenRowSimd(count.data(), value.data(), square.data(), maskRow.data(), 3, 301,
                               vector.data());
      ASSERT_EQ(vector, plain) << hwy::TargetName(target) << ", row " << row;
    }
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
}

TEST(HalveImages, TwoByTwoBlocks) {
  Plane image(255), reference(255), mask;
  // Block (row 10, column 20) of the reduction: source rows 20, 21 and columns 40, 41.
  image.at(20, 40) = 1, image.at(20, 41) = 2, image.at(21, 40) = 3, image.at(21, 41) = 5;
  reference.at(20, 40) = 0, reference.at(20, 41) = 0, reference.at(21, 40) = 0,
                   reference.at(21, 41) = 2;
  mask.Fill(20, 21, 40, 41, 1).Fill(20, 21, 42, 42, 1);  // block (10, 21) is half inside
  mask.Fill(0, 1, 0, kW - 1, 1);                         // output row 0 is never set
  ASSERT_EQ(veltrum::HalveImages(image.data(), reference.data(), mask.data()), 0);
  const auto small = [](const Plane& p, int j, int i) { return p.px[j * 160 + i]; };
  EXPECT_EQ(small(image, 10, 20), 3);      // (11 + 2) / 4
  EXPECT_EQ(small(reference, 10, 20), 1);  // (2 + 2) / 4
  EXPECT_EQ(small(mask, 10, 20), 1);
  EXPECT_EQ(small(mask, 10, 21), 0);
  EXPECT_EQ(small(mask, 0, 20), 0);
  image = Plane(10);
  reference = Plane(10);
  ASSERT_EQ(veltrum::HalveImages(image.data(), reference.data(), mask.data()), 0);
  for (const auto& [j, i, v] :
       {std::tuple{0, 50, 255}, std::tuple{119, 50, 255}, std::tuple{50, 4, 255},
        std::tuple{50, 150, 255}, std::tuple{50, 5, 10}, std::tuple{1, 149, 10}}) {
    EXPECT_EQ(small(image, j, i), v) << j << " " << i;
    EXPECT_EQ(small(reference, j, i), v) << j << " " << i;
  }
}

}  // namespace
