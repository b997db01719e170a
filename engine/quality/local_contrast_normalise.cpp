#include <algorithm>
#include <array>
#include <cstring>

#include "core/alloc.h"
#include "core/integral_image.h"
#include "core/status.h"
#include "quality/quality_measures.h"
#include "tables/fourth_root_curve.h"

namespace veltrum {

int LocalContrastNormalise(std::uint8_t* plane, int width, int height) {
  auto entries = AllocArray<std::uint32_t>(IntegralImage::Entries(width, height));
  if (!entries) return kOutOfMemory;
  IntegralImage sums(entries.get(), width, height);
  sums.Build(0, height - 1,
             [&](int r, int c) { return FourthRootCurve[plane[static_cast<std::size_t>(r) * width + c]]; });
  std::memset(plane, 128, static_cast<std::size_t>(width) * height);
  if (height < 3) return kOk;
  constexpr int kReach = 16;
  for (int r = 1; r <= height - 2; ++r) {
    const int k = std::min({r, height - 1 - r, kReach});
    // Window sizes of this row, by column count: the per-pixel loop only looks them up.
    std::array<float, 2 * kReach + 2> reciprocal;
    for (int n = 1; n <= 2 * kReach + 1; ++n) {
      reciprocal[n] = 1.0f / static_cast<float>((2 * k + 1) * n);
    }
    for (int c = 1; c <= width - 2; ++c) {
      const int c0 = std::max(c - kReach, 0), c1 = std::min(c + kReach, width - 1);
      const float window = static_cast<float>(sums.WindowSum(r - k, r + k, c0, c1));
      const int windowMean = static_cast<int>(window * reciprocal[c1 - c0 + 1] + 0.5f);
      const float local = static_cast<float>(sums.WindowSum(r - 1, r + 1, c - 1, c + 1));
      const int localMean = static_cast<int>(local * 0.11111111f + 0.5f);
      plane[r * width + c] =
          static_cast<std::uint8_t>(std::clamp(128 + 8 * (localMean - windowMean), 0, 255));
    }
  }
  return kOk;
}

}  // namespace veltrum
