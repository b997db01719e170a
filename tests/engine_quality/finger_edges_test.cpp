#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "core/alloc.h"
#include "core/engine_state.h"
#include "edges/edge_profiles.h"
#include "edges/finger_edges.h"
#include "fresh_process.h"
#include "quality_fixtures.h"
#include "veltrum.h"

namespace {

using veltrum::FindFingerEdges;
using veltrum::FindFingerEdgesMode0;
using veltrum::FindFingerEdgesMode12;
using SearchFn = int (*)(const std::uint8_t*, std::int16_t*, std::int16_t*);

struct Record {
  std::array<std::int16_t, 320> upper, lower;
  explicit Record(std::int16_t fill = 77) {
    upper.fill(fill);
    lower.fill(fill);
  }
  bool Untouched() const { return *this == Record(); }
  bool AllZero() const { return *this == Record(0); }
  bool operator==(const Record&) const = default;
};

int Search(SearchFn search, const std::vector<std::uint8_t>& image, Record& r) {
  return search(image.data(), r.upper.data(), r.lower.data());
}

class FingerEdges : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(VLT_FV_Init(0), 0); }
};

TEST(FingerEdgesDispatch, UnknownModeTouchesNothing) {
  if (veltrum::EngineMode() != -1) {
    EXPECT_TRUE(fvtest::PassesInFreshProcess());
    return;
  }
  Record r;
  EXPECT_EQ(Search(FindFingerEdges, fvq::Flat(120), r), -1);
  EXPECT_TRUE(r.Untouched());
}

TEST_F(FingerEdges, DispatcherPicksTheSearchOfTheMode) {
  const auto image = fvq::Slab(60, 180, 0, 320);
  for (int mode : {0, 1, 2}) {
    ASSERT_EQ(VLT_FV_Init(mode), 0);
    Record viaDispatch, direct;
    EXPECT_EQ(Search(FindFingerEdges, image, viaDispatch), 0);
    EXPECT_EQ(Search(mode == 0 ? FindFingerEdgesMode0 : FindFingerEdgesMode12, image, direct), 0);
    EXPECT_EQ(viaDispatch, direct) << "mode " << mode;
  }
}

TEST_F(FingerEdges, UniformImageHasNoEdges) {
  Record r0, r12;
  EXPECT_EQ(Search(FindFingerEdgesMode0, fvq::Flat(120), r0), 0);
  EXPECT_TRUE(r0.AllZero());
  EXPECT_EQ(Search(FindFingerEdgesMode12, fvq::Flat(120), r12), -1);
  EXPECT_TRUE(r12.Untouched());
}

TEST_F(FingerEdges, FullWidthSlabIsFoundInEveryColumnTheSearchCovers) {
  const auto image = fvq::Slab(60, 180, 0, 320);
  struct Case {
    const char* name;
    SearchFn search;
    int firstColumn, endColumn;  // columns that carry edges
  };
  for (const Case& c : {Case{"mode 0", FindFingerEdgesMode0, 0, 320},
                        Case{"mode 1/2", FindFingerEdgesMode12, 10, 310}}) {
    Record r;
    ASSERT_EQ(Search(c.search, image, r), 0) << c.name;
    for (int col = 0; col < 320; ++col) {
      if (col < c.firstColumn || col >= c.endColumn) {
        EXPECT_EQ(r.upper[col], 0) << c.name << " column " << col;
        EXPECT_EQ(r.lower[col], 0) << c.name << " column " << col;
      } else {
        EXPECT_NEAR(r.upper[col], 60, 2) << c.name << " column " << col;
        EXPECT_NEAR(r.lower[col], 179, 2) << c.name << " column " << col;
      }
    }
  }
}

TEST_F(FingerEdges, SyntheticFingerEdgesFollowItsOutline) {
  for (int mode : {0}) {
    ASSERT_EQ(VLT_FV_Init(mode), 0);
    for (std::uint64_t seed : {1u, 2u, 4u}) {
      const auto finger = simfinger::MakeFinger(seed);
      const auto image = simfinger::Render(finger, simfinger::Capture{});
      Record r;
      ASSERT_EQ(Search(FindFingerEdges, image, r), 0);
      for (int col = 40; col < 280; col += 10) {
        const double axis = finger.centreRow + finger.tilt * (col + 0.5 - 160);
        const double half = finger.halfWidth * (1 + finger.taper * (col + 0.5 - 160) / 320);
        EXPECT_NEAR(r.upper[col], axis - half, 6) << "mode " << mode << " seed " << seed << " col " << col;
        EXPECT_NEAR(r.lower[col], axis + half, 6) << "mode " << mode << " seed " << seed << " col " << col;
      }
    }
  }
}

TEST_F(FingerEdges, Mode0StopsWhereTheLowerEdgeIsLost) {
  // The finger ends at column 200: beyond it nothing is tracked.
  Record r;
  ASSERT_EQ(Search(FindFingerEdgesMode0, fvq::Slab(60, 180, 0, 200), r), 0);
  EXPECT_NE(r.upper[0], 0);
  EXPECT_NE(r.lower[150], 0);
  for (int col = 220; col < 320; ++col) EXPECT_EQ(r.lower[col], 0) << col;
}

TEST_F(FingerEdges, Mode12CentreOnlyFingerGivesAllZeros) {
  // Only strips 15 and 16 hold the finger: nothing is tracked and the span is empty.
  Record r;
  EXPECT_EQ(Search(FindFingerEdgesMode12, fvq::Slab(60, 180, 150, 170), r), 0);
  EXPECT_TRUE(r.AllZero());
}

TEST_F(FingerEdges, AllocationFailureLeavesTheRecordUntouched) {
  const auto image = fvq::Slab(60, 180, 0, 320);
  for (SearchFn search : {FindFingerEdgesMode0, FindFingerEdgesMode12}) {
    for (int n = 1; n <= 3; ++n) {
      Record r;
      veltrum::FailNthAllocation(n);
      EXPECT_EQ(Search(search, image, r), 3012) << "allocation " << n;
      veltrum::FailNthAllocation(0);
      EXPECT_TRUE(r.Untouched());
    }
  }
}

TEST(EdgeProfiles, WeightedRowSearch) {
  std::array<std::int32_t, 240> p{};
  // Equal products at rows 99 and 101 around 100: the smaller row wins.
  p[99] = p[101] = 15;
  EXPECT_EQ(veltrum::BestWeightedRow(p.data(), 100, 0, 239, 15), 99);
  // Rows outside lo..hi are not looked at; nothing positive gives -1.
  EXPECT_EQ(veltrum::BestWeightedRow(p.data(), 100, 102, 239, 15), -1);
  std::array<std::int32_t, 240> zero{};
  EXPECT_EQ(veltrum::BestWeightedRow(zero.data(), 4, 0, 239, 15), -1);
  // The window is clipped at the frame: centre 2 looks at rows 0..10 only.
  zero[0] = 5;
  EXPECT_EQ(veltrum::BestWeightedRow(zero.data(), 2, 0, 239, 15), 0);
}

TEST(EdgeProfiles, OutwardPeakSearch) {
  std::array<std::int32_t, 240> p{};
  p[100] = p[90] = 500;  // equal peaks above: the nearer one stays
  p[150] = 500;
  p[200] = 600;  // 50 rows beyond, not 20 % stronger in log terms
  auto e = veltrum::SearchOutwardPeaks(p.data(), 116, 1.2, false);
  EXPECT_EQ(e.upper, 100);
  EXPECT_EQ(e.lower, 150);
  // Without the span condition met, a farther peak needs only to be stronger.
  e = veltrum::SearchOutwardPeaks(p.data(), 116, 1.2, true);
  EXPECT_EQ(e.lower, 200);
  std::array<std::int32_t, 240> flat{};
  e = veltrum::SearchOutwardPeaks(flat.data(), 116, 1.2, true);
  EXPECT_EQ(e.upper, 120);
  EXPECT_EQ(e.lower, 120);
}

TEST(EdgeProfiles, TracksInterpolateLinearly) {
  std::array<std::int32_t, 33> up{}, low{};
  up[5] = 100;
  up[6] = 110;
  low[5] = 200;
  low[6] = 191;
  Record r(5);
  veltrum::WriteInterpolatedEdges(up.data(), low.data(), 5, 6, r.upper.data(), r.lower.data());
  for (int k = 0; k < 10; ++k) {
    EXPECT_EQ(r.upper[50 + k], 100 + k);
    EXPECT_EQ(r.lower[50 + k], (10 * 200 - 9 * k + 5) / 10);
  }
  EXPECT_EQ(r.upper[49], 0);
  EXPECT_EQ(r.upper[60], 0);
}

}  // namespace
