#include <algorithm>
#include <cstring>

#include "core/image_ref.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

void MaskEdgeRows(std::int16_t* upper, std::int16_t* lower, const std::uint8_t* mask, int& top,
                  int& bottom) {
  constexpr int kW = kFrameWidth, kH = kFrameHeight;
  std::memset(upper, 0, kW * sizeof(std::int16_t));
  std::memset(lower, 0, kW * sizeof(std::int16_t));
  for (int x = 0; x < kW; ++x) {
    for (int y = 1; y < kH; ++y) {
      if (mask[y * kW + x] == 1) {
        upper[x] = static_cast<std::int16_t>(y);
        break;
      }
    }
    for (int y = kH - 1; y >= 1; --y) {
      if (mask[y * kW + x] == 1) {
        lower[x] = static_cast<std::int16_t>(y);
        break;
      }
    }
  }
  top = *std::min_element(upper, upper + kW);
  if (top == 0) top = 1;
  bottom = *std::max_element(lower, lower + kW);
  if (bottom == kH - 1) bottom = kH - 2;
}

}  // namespace veltrum
