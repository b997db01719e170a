#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include <hwy/targets.h>

#include "core/alloc.h"
#include "core/status.h"
#include "feature/edge_pairs.h"
#include "feature/grid_origin.h"
#include "feature/rotate_region.h"
#include "sim_finger/random.h"

namespace {

using namespace veltrum;

constexpr int W = 140, H = 120;

std::vector<std::uint8_t> Pairs(int upper, int lower) {
  std::vector<std::uint8_t> p(140);
  for (int i = 0; i < 70; ++i) {
    p[2 * i] = static_cast<std::uint8_t>(upper);
    p[2 * i + 1] = static_cast<std::uint8_t>(lower);
  }
  return p;
}

TEST(GridOrigin, CentresTheGridOnTheFirstSixtyPairs) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> pairs;
    int origin;
  };
  auto mixed = Pairs(30, 90);
  for (int p = 60; p < 70; ++p) mixed[2 * p] = 0, mixed[2 * p + 1] = 119;
  auto gaps = Pairs(20, 100);
  gaps[0] = 120, gaps[1] = 10;  // no upper edge: pair skipped
  gaps[2] = 10, gaps[3] = 0;    // no lower edge: pair skipped
  auto onePair = Pairs(120, 0);
  onePair[2 * 59] = 40, onePair[2 * 59 + 1] = 99;
  const Case cases[] = {
      {"finger over the whole height", Pairs(0, 119), 25},
      {"band 20..100", Pairs(20, 100), 25},
      {"pairs 60-69 ignored; (-9) / 2 truncates toward zero", mixed, 26},
      {"pairs without an edge skipped", gaps, 25},
      {"a single pair", onePair, 40 + (99 - 40 - 69) / 2},
      {"no finger anywhere", Pairs(120, 0), -34},
  };
  for (const auto& c : cases) {
    const GridParams g = ComputeGridOrigin(c.pairs.data());
    EXPECT_EQ(g.origin, c.origin) << c.what;
    EXPECT_EQ(g.firstCol, 6);
    EXPECT_EQ(g.rowStep, 5);
    EXPECT_EQ(g.colStep, 6);
  }
}

TEST(EdgePairs, MeanFirstAndLastFingerRowsPerColumnPair) {
  std::vector<std::uint8_t> mask(W * H, 0);
  auto fill = [&](int x, int top, int bottom) {
    for (int y = top; y <= bottom; ++y) mask[y * W + x] = 255;
  };
  fill(0, 20, 100);
  fill(1, 31, 91);  // pair 0: (25, 95)
  fill(2, 10, 60);  // pair 1: one column only
  mask[0 * W + 4] = 1;  // pair 2: a lone pixel in row 0 is an upper row but no lower row
  fill(7, 0, 119);  // pair 3: other column empty
  std::vector<std::uint8_t> pairs(140, 0xCC);
  FindEdgePairs(pairs.data(), mask.data());
  const std::uint8_t expected[5][2] = {{25, 95}, {10, 60}, {0, 0}, {0, 119}, {120, 0}};
  for (int p = 0; p < 5; ++p) {
    EXPECT_EQ(pairs[2 * p], expected[p][0]) << "pair " << p;
    EXPECT_EQ(pairs[2 * p + 1], expected[p][1]) << "pair " << p;
  }
  for (int p = 5; p < 70; ++p) ASSERT_EQ(pairs[2 * p] * 256 + pairs[2 * p + 1], 120 * 256) << p;
}

TEST(RotateRegion, CoefficientsOfTheTwoTilts) {
  EXPECT_EQ(RotationFor(0.03f).rc, 1048104);
  EXPECT_EQ(RotationFor(0.03f).rs, -31443);
  EXPECT_EQ(RotationFor(-0.06f).rc, 1046693);
  EXPECT_EQ(RotationFor(-0.06f).rs, 62801);
}

std::vector<std::uint8_t> ColumnRamp() {
  std::vector<std::uint8_t> p(W * H);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) p[y * W + x] = static_cast<std::uint8_t>(x);
  }
  return p;
}

TEST(RotateRegion, ResamplesImageAndMaskTogether) {
  struct Case {
    float tilt;
    int x, y, value;
  };
  // A ramp that rises by one per column shows the source column, rounded to the nearest.
  const Case cases[] = {
      {0.03f, 70, 60, 70},  {0.03f, 70, 110, 69},  {0.03f, 70, 10, 71},
      {-0.06f, 70, 60, 70}, {-0.06f, 70, 110, 73}, {0.03f, 0, 0, 0},
      {-0.06f, 139, 119, 0},
  };
  for (const auto& c : cases) {
    auto image = ColumnRamp();
    auto mask = ColumnRamp();
    ASSERT_EQ(RotateRegion(image.data(), mask.data(), c.tilt), kOk);
    EXPECT_EQ(image[c.y * W + c.x], c.value) << c.tilt << " at " << c.x << "," << c.y;
    EXPECT_EQ(mask, image);
  }
}

TEST(RotateRegion, FlatPlaneKeepsItsValueAndLosesOnlyTheCorners) {
  std::vector<std::uint8_t> image(W * H, 200), mask(W * H, 255);
  ASSERT_EQ(RotateRegion(image.data(), mask.data(), -0.06f), kOk);
  int zeros = 0;
  for (int i = 0; i < W * H; ++i) {
    ASSERT_TRUE(image[i] == 200 || image[i] == 0) << i;
    ASSERT_EQ(mask[i] == 0, image[i] == 0) << i;
    zeros += image[i] == 0;
  }
  for (int corner : {0, W - 1, (H - 1) * W, H * W - 1}) EXPECT_EQ(image[corner], 0);
  EXPECT_EQ(image[60 * W + 70], 200);
  EXPECT_GT(zeros, 100);
  EXPECT_LT(zeros, 1200);
}

TEST(RotateRegion, VectorsGiveThePlainPlanes) {
  // Every vector width built for this processor; random planes, so that every weight and every
  // neighbour shows; tilts beyond the two used reach the plane's edges from every side, and 1e-7
  // turns nothing (Rc = 2^20, Rs = 0), so targets up to row 118 and column 139 read the last
  // source pixels that have a whole neighbourhood.
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (float tilt : {0.03f, -0.06f, 0.4f, -1.5f, 3.0f, 1e-7f}) {
      simfinger::Random random(static_cast<std::uint64_t>(tilt * 100 + 500));
      std::vector<std::uint8_t> image(W * H), mask(W * H);
      for (auto& v : image) v = static_cast<std::uint8_t>(random.UniformInt(0, 255));
      for (auto& v : mask) v = static_cast<std::uint8_t>(random.UniformInt(0, 255));
      auto plainImage = image, plainMask = mask;
      ASSERT_EQ(RotateRegion(image.data(), mask.data(), tilt), kOk);
      ASSERT_EQ(RotateRegionPlain(plainImage.data(), plainMask.data(), tilt), kOk);
      EXPECT_EQ(image, plainImage) << hwy::TargetName(target) << ", tilt " << tilt;
      EXPECT_EQ(mask, plainMask) << hwy::TargetName(target) << ", tilt " << tilt;
    }
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
}

TEST(RotateRegion, TiltZeroAndFailuresTouchNothing) {
  simfinger::Random random(8);
  std::vector<std::uint8_t> image(W * H), mask(W * H);
  for (auto& v : image) v = static_cast<std::uint8_t>(random.UniformInt(0, 255));
  for (auto& v : mask) v = static_cast<std::uint8_t>(random.UniformInt(0, 1) * 255);
  const auto image0 = image, mask0 = mask;
  FailNthAllocation(1);  // tilt 0 allocates nothing
  EXPECT_EQ(RotateRegion(image.data(), mask.data(), 0.0f), kOk);
  FailNthAllocation(0);
  for (int n : {1, 2}) {
    FailNthAllocation(n);
    EXPECT_EQ(RotateRegion(image.data(), mask.data(), 0.03f), kOutOfMemory) << n;
    FailNthAllocation(0);
  }
  EXPECT_EQ(image, image0);
  EXPECT_EQ(mask, mask0);
}

}  // namespace
