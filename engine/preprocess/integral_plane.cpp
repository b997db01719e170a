#include "preprocess/integral_plane.h"

#include <algorithm>

#include "core/image_ref.h"

namespace veltrum {

void IntegralPlane::Build(const std::uint8_t* mask, const std::uint8_t* values, IntegralOf what,
                          int top, int bottom) {
  // Row 0 and column 0 are the only entries no sum below writes.
  std::memset(bytes_, 0, 4 * kIntegralCols);
  for (int r = 1; r < kIntegralRows; ++r) Set(r, 0, 0);
  top = std::max(top, 0);
  bottom = std::min(bottom, kFrameHeight - 1);
  for (int r = 0; r < kFrameHeight; ++r) {
    const bool summed = r >= top && r <= bottom;
    std::uint32_t rowSum = 0;
    for (int c = 0; c < kFrameWidth; ++c) {
      const int i = r * kFrameWidth + c;
      if (summed && mask[i] != 0) {
        const std::uint32_t v = values[i];
        rowSum += what == IntegralOf::kCount ? 1u : what == IntegralOf::kValue ? v : v * v;
      }
      Set(r + 1, c + 1, At(r, c + 1) + rowSum);
    }
  }
}

std::uint32_t IntegralPlane::WindowSum(int r0, int r1, int c0, int c1) const {
  r0 = std::clamp(r0, 0, kFrameHeight);
  r1 = std::clamp(r1 + 1, 0, kFrameHeight);
  c0 = std::clamp(c0, 0, kFrameWidth);
  c1 = std::clamp(c1 + 1, 0, kFrameWidth);
  return At(r1, c1) - At(r0, c1) - At(r1, c0) + At(r0, c0);
}

}  // namespace veltrum
