// The finger's edges near the middle columns, from the product of a left and a right gradient
// profile, so that an edge must show on both sides of column 160.

#include <array>
#include <cmath>
#include <cstdlib>

#include "core/image_ref.h"
#include "edges/edge_profiles.h"
#include "quality/quality_check.h"
#include "tables/lookup_tables.h"

namespace veltrum {

void CentreEdgeRows(const std::uint8_t* image, int& lower, int& upper) {
  constexpr int kFirst = 139, kColumns = 42;  // mapped columns 139..180
  const auto& root = Tables().ScaledRootTable;
  std::array<std::array<std::uint8_t, kColumns>, kEdgeRows> m;
  for (int r = 0; r < kEdgeRows; ++r) {
    for (int k = 0; k < kColumns; ++k) m[r][k] = root[image[r * kFrameWidth + kFirst + k]];
  }
  const auto rowSum = [&](int r, int k) { return m[r][k - 1] + 2 * m[r][k] + m[r][k + 1]; };
  std::array<std::int32_t, kEdgeRows> left{}, right{};
  for (int r = 1; r < kEdgeRows - 1; ++r) {
    for (int k = 1; k <= 40; ++k) {  // image columns 140..179
      const int g = std::abs((rowSum(r - 1, k) - rowSum(r + 1, k)) / 4);
      (k <= 20 ? left : right)[r] += g;
    }
  }
  Smooth121(left.data(), 2, kEdgeRows - 3, 0);
  Smooth121(right.data(), 2, kEdgeRows - 3, 0);
  std::array<std::int32_t, kEdgeRows> both;
  for (int r = 0; r < kEdgeRows; ++r) {
    both[r] = static_cast<std::int32_t>(
        std::sqrt(static_cast<double>(left[r]) * static_cast<double>(right[r])));
  }
  const EdgePair edges = SearchOutwardPeaks(both.data(), 117, 1.2, false);
  upper = edges.upper;
  lower = edges.lower;
}

}  // namespace veltrum
