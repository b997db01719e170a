#include <algorithm>
#include <array>

#include "core/image_ref.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

void MaskEdgeRows(std::int16_t* upper, std::int16_t* lower, const std::uint8_t* mask, int& top,
                  int& bottom) {
  constexpr int kW = kFrameWidth, kH = kFrameHeight;
  // Local byte rows (rows fit in bytes), so that the mask cannot alias them and the row loop
  // takes 16 or more columns at a time.
  std::array<std::uint8_t, kW> up{}, low{};
  // Row by row downwards: a column's first row of 1 sets its upper edge, each later one moves
  // its lower edge (row 0 is not searched, so 0 still means none).
  for (int y = 1; y < kH; ++y) {
    const std::uint8_t* row = mask + y * kW;
    const auto r = static_cast<std::uint8_t>(y);
    for (int x = 0; x < kW; ++x) {
      // Branch-free so that the loop vectorises.
      const auto in = static_cast<std::uint8_t>(row[x] == 1);
      up[x] = static_cast<std::uint8_t>(up[x] + (in & (up[x] == 0)) * r);
      low[x] = static_cast<std::uint8_t>(low[x] + in * (r - low[x]));
    }
  }
  std::copy(up.begin(), up.end(), upper);
  std::copy(low.begin(), low.end(), lower);
  top = *std::min_element(up.begin(), up.end());
  if (top == 0) top = 1;
  bottom = *std::max_element(low.begin(), low.end());
  if (bottom == kH - 1) bottom = kH - 2;
}

}  // namespace veltrum
