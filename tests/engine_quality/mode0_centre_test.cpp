#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "edges/finger_edges.h"
#include "veltrum.h"

namespace {

// A frame with one horizontal step at `row`: the only edge the mode 0 search can find, upper
// when it lies above row 120 and lower when below.
std::vector<std::uint8_t> StepAt(int row) {
  std::vector<std::uint8_t> image(320 * 240, 100);
  for (int r = row; r < 240; ++r) {
    for (int c = 0; c < 320; ++c) image[r * 320 + c] = 200;
  }
  return image;
}

// The centre of column 160 has one edge only: no finger to track from, and no edge is reported,
// rather than a ramp of one edge alone around column 160.
TEST(FingerEdgesMode0, ACentreWithOneEdgeGivesNoEdges) {
  ASSERT_EQ(VLT_FV_Init(0), 0);
  for (int row : {90, 150}) {
    const auto image = StepAt(row);
    std::array<std::int16_t, 320> upper, lower;
    upper.fill(77);
    lower.fill(77);
    ASSERT_EQ(veltrum::FindFingerEdgesMode0(image.data(), upper.data(), lower.data()), 0);
    EXPECT_EQ(upper, (std::array<std::int16_t, 320>{})) << row;
    EXPECT_EQ(lower, (std::array<std::int16_t, 320>{})) << row;
  }
  // Both edges at the centre are tracked as before.
  auto finger = StepAt(150);
  for (int r = 0; r < 90; ++r) {
    for (int c = 0; c < 320; ++c) finger[r * 320 + c] = 200;
  }
  std::array<std::int16_t, 320> upper{}, lower{};
  ASSERT_EQ(veltrum::FindFingerEdgesMode0(finger.data(), upper.data(), lower.data()), 0);
  EXPECT_NE(upper[160], 0);
  EXPECT_NE(lower[160], 0);
}

}  // namespace
