#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "planes.h"
#include "core/integral_image.h"
#include "preprocess/preprocess_steps.h"
#include "preprocess/valley_depth.h"
#include "preprocess/valley_response_simd.h"
#include "tables/lookup_tables.h"

namespace {

using fvtest::kH;
using fvtest::kW;
using fvtest::Plane;

class Valley : public ::testing::Test {
 protected:
  void SetUp() override { veltrum::BuildLookupTables(); }
};

TEST(IntegralImage, WindowsAreClampedToTheFrame) {
  struct Case {
    std::string name;
    int r0, r1, c0, c1;
    unsigned sum;
  };
  // Mask rows 10..229 counted, but only rows 20..200 are summed.
  const Plane mask = Plane().Fill(10, 229, 0, kW - 1, 1);
  // Sums in a caller's bytes at an odd address.
  std::vector<std::uint8_t> bytes(4 * veltrum::IntegralImage::Entries(kW, kH) + 1);
  veltrum::IntegralImage integral(bytes.data() + 1, kW, kH);
  integral.Build(20, 200, [&](int r, int c) { return mask.data()[r * kW + c]; });
  for (const Case& c :
       {Case{"Inside", 30, 39, 100, 109, 100}, Case{"AboveTheSummedRows", 0, 25, 0, 0, 6},
        Case{"PastTheBottom", 195, 400, 315, 330, 30}, Case{"BeforeTheLeft", 50, 50, -20, 4, 5},
        Case{"WholeFrameAndMore", -10, 300, -10, 400, 181 * 320}}) {
    EXPECT_EQ(integral.ClampedWindowSum(c.r0, c.r1, c.c0, c.c1), c.sum) << c.name;
  }
}

TEST(MedianInMask, RemovesSpeckleInTheFirstRunOnly) {
  Plane image(100);
  image.at(60, 50) = 250;   // first run of column 50
  image.at(150, 50) = 250;  // second run: left alone
  image.at(30, 50) = 250;   // outside the finger
  const Plane mask = Plane().Fill(50, 100, 0, kW - 1, 1).Fill(140, 160, 0, kW - 1, 1);
  ASSERT_EQ(veltrum::MedianInMask(image.data(), mask.data(), 50, 160), 0);
  EXPECT_EQ(image.at(60, 50), 100);
  EXPECT_EQ(image.at(150, 50), 250);
  EXPECT_EQ(image.at(30, 50), 250);
}

TEST_F(Valley, OnePixelDip) {
  struct Case {
    std::string name;
    int centre;  // grey at (120, 160) amid 100
    int response;
  };
  // Each pair's depth is 2 (100 - c); at tilt 0 a unit of depth weighs
  // 12 (1 + 1 + 0.5 + 0.5) + 4 (4 x 0.8) = 48.8.
  for (const Case& c : {Case{"Flat", 100, 0}, Case{"ShallowDip", 99, 97},
                        Case{"DeeperDip", 98, 195}, Case{"DeepIsCapped", 40, 255}}) {
    Plane valley(100);
    valley.at(120, 160) = static_cast<std::uint8_t>(c.centre);
    const Plane mask = Plane().Fill(50, 190, 20, 300, 1);
    Plane inner(9);
    ASSERT_EQ(veltrum::ValleyResponse(valley.data(), mask.data(), inner.data(), 50, 190), 0);
    Plane expected;
    expected.at(120, 160) = static_cast<std::uint8_t>(c.response);
    EXPECT_TRUE(valley == expected) << c.name;
    // The inner mask: every pixel whose 17 x 17 window lies in the finger.
    EXPECT_TRUE(inner == Plane().Fill(58, 182, 28, 292, 1)) << c.name;
  }
}

TEST_F(Valley, TiltedNeighboursWeighLess) {
  // Grey = row, with (120, 160) one below its row: every pair has depth 2, the vertical and
  // diagonal pairs tilt 16, the steep oblique ones 16, the flat oblique ones 8, the horizontal 0:
  // 12 x 2 (F1(16) + F1(0) + 2 F2(16)) + 4 x 2 (2 F3(16) + 2 F3(8)) = 45.55 + 15.04.
  Plane valley;
  for (int y = 0; y < kH; ++y) valley.Fill(y, y, 0, kW - 1, static_cast<std::uint8_t>(y));
  valley.at(120, 160) = 119;
  const Plane mask = Plane().Fill(50, 190, 20, 300, 1);
  Plane inner;
  ASSERT_EQ(veltrum::ValleyResponse(valley.data(), mask.data(), inner.data(), 50, 190), 0);
  Plane expected;
  expected.at(120, 160) = 60;
  EXPECT_TRUE(valley == expected);
}

TEST_F(Valley, AHoleInTheFingerKeepsItsWindowOutOfTheInnerMask) {
  // Every pixel whose 17 x 17 window holds the hole at (120, 160) leaves the inner mask, and
  // gets no response.
  Plane valley(100);
  const Plane mask = Plane().Fill(50, 190, 20, 300, 1).Fill(120, 120, 160, 160, 0);
  Plane inner;
  ASSERT_EQ(veltrum::ValleyResponse(valley.data(), mask.data(), inner.data(), 50, 190), 0);
  EXPECT_TRUE(inner == Plane().Fill(58, 182, 28, 292, 1).Fill(112, 128, 152, 168, 0));
  EXPECT_TRUE(valley == Plane());
}

TEST_F(Valley, NarrowFingerHasNoInnerMask) {
  for (const int rows : {16, 12}) {
    Plane valley(100);
    valley.at(100, 100) = 50;
    const Plane mask = Plane().Fill(90, 90 + rows - 1, 0, kW - 1, 1);
    Plane inner(1);
    ASSERT_EQ(veltrum::ValleyResponse(valley.data(), mask.data(), inner.data(), 90, 90 + rows - 1),
              0);
    EXPECT_TRUE(inner == Plane()) << rows;
    EXPECT_TRUE(valley == Plane()) << rows;
  }
}

TEST_F(Valley, VectorRowsMatchThePlainDepth) {
  // Noise of small and of full amplitude: responses below the cap, and tilts and depths over
  // their whole range; for every vector width this processor can run.
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    std::uint32_t seed = 1;
    const auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (const int amplitude : {9, 60, 256}) {
      Plane plane;
      for (std::uint8_t& p : plane.px)
        p = static_cast<std::uint8_t>(100 - amplitude / 3 + next() % amplitude);
      if (amplitude == 256) plane.Fill(100, 140, 0, kW - 1, 0).Fill(120, 120, 0, kW - 1, 255);
      const veltrum::LookupTables& t = veltrum::Tables();
      int below = 0;
      for (int y = 8; y < kH - 8; ++y) {
        // Whole rows, a span that ends inside a vector, and one shorter than a vector.
        for (const auto& [x0, x1] : {std::pair{8, kW - 8}, std::pair{11, 250}, std::pair{40, 43}}) {
          std::vector<float> out(kW, -1.0f);
          veltrum::ValleyRowSimd(plane.data(), y, x0, x1, out.data());
          for (int x = x0; x < x1; ++x) {
            const float plain = veltrum::ValleyDepth(plane.data(), y, x, t);
            // Bit for bit, not only after truncation.
            ASSERT_EQ(std::bit_cast<std::uint32_t>(out[x]), std::bit_cast<std::uint32_t>(plain))
                << hwy::TargetName(target) << ", " << amplitude << " at " << y << ", " << x;
            below += plain < 255.0f;
          }
        }
      }
      EXPECT_GT(below, 1000) << amplitude;
    }
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
}

TEST(SmoothInMask, MeanOfTheFingerPixelsOfEachBlock) {
  struct Case {
    std::string name;
    int y, x;
    int value;
  };
  // Values 10 x + y in a 3 x 3 finger block at rows 10..12, columns 10..12.
  Plane valley(77);
  for (int y = 10; y <= 12; ++y) {
    for (int x = 10; x <= 12; ++x) valley.at(y, x) = static_cast<std::uint8_t>(10 * x + y);
  }
  const Plane mask = Plane().Fill(10, 12, 10, 12, 1);
  ASSERT_EQ(veltrum::SmoothInMask(mask.data(), valley.data(), 5, 13), 0);
  for (const Case& c : {Case{"Corner", 10, 10, 110},           // one pixel
                        Case{"TopEdge", 10, 11, 115},          // (110 + 120) / 2
                        Case{"Inside", 11, 11, 115},           // (110 + 111 + 120 + 121) / 4
                        Case{"RoundsToNearest", 12, 12, 126},  // (121 + 122 + 131 + 132) / 4
                        Case{"OutsideMask", 13, 13, 0}, Case{"FarOutside", 100, 100, 0}}) {
    EXPECT_EQ(valley.at(c.y, c.x), c.value) << c.name;
  }
}

TEST(SmoothInMask, EqualValuesKeepTheirValue) {
  // The reciprocal of 3 is a little short of 2^20 / 3; the rounding term makes up for it.
  const Plane mask =
      Plane().Fill(10, 10, 10, 11, 1).Fill(11, 11, 10, 10, 1).Fill(20, 21, 20, 21, 1);
  for (int v = 0; v < 256; ++v) {
    Plane valley(static_cast<std::uint8_t>(v));
    ASSERT_EQ(veltrum::SmoothInMask(mask.data(), valley.data(), 5, 30), 0);
    EXPECT_EQ(valley.at(11, 10), v) << "two of four, " << v;
    EXPECT_EQ(valley.at(11, 11), 0) << "outside the mask, " << v;
    EXPECT_EQ(valley.at(10, 11), v) << "two of four, " << v;
    EXPECT_EQ(valley.at(21, 21), v) << "four of four, " << v;
  }
  const Plane corner = Plane().Fill(10, 10, 10, 11, 1).Fill(11, 11, 11, 11, 1);
  for (int v = 0; v < 256; ++v) {
    Plane valley(static_cast<std::uint8_t>(v));
    ASSERT_EQ(veltrum::SmoothInMask(corner.data(), valley.data(), 5, 30), 0);
    EXPECT_EQ(valley.at(11, 11), v) << "three of four, " << v;
  }
}

TEST(CombineValleyImage, InvertedBlend) {
  struct Case {
    int grey, valley, result;
  };
  Plane image, valley;
  const Case cases[] = {{200, 0, 244}, {0, 0, 204},    {255, 0, 255},
                        {0, 255, 0},   {255, 255, 51}, {100, 50, 184}};
  for (int i = 0; i < 6; ++i) {
    image.at(0, i) = static_cast<std::uint8_t>(cases[i].grey);
    valley.at(0, i) = static_cast<std::uint8_t>(cases[i].valley);
  }
  veltrum::CombineValleyImage(image.data(), valley.data());
  for (int i = 0; i < 6; ++i) EXPECT_EQ(image.at(0, i), cases[i].result) << i;
}

}  // namespace
