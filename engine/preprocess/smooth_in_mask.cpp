// Mean of the finger pixels of each 2 x 2 block, by a 20-bit reciprocal.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

int SmoothInMask(const std::uint8_t* mask, std::uint8_t* valley, int top, int bottom) {
  constexpr int kW = kFrameWidth;
  // At most 4 x 255 times 2^20 / n: 32-bit sums hold every product.
  constexpr std::int32_t kReciprocal[5] = {0, 1048576, 524288, 349525, 262144};
  // Zeroed, so pixels outside the mask read back as 0 rather than stale memory.
  auto work = AllocZeroedArray<std::uint8_t>(kFramePixels);
  if (!work) return kOutOfMemory;
  for (int y = std::max(top, 1); y <= std::min(bottom, kFrameHeight) - 1; ++y) {
    for (int x = 1; x < kW - 1; ++x) {
      if (mask[y * kW + x] == 0) continue;
      std::int32_t s = 0;
      int n = 0;
      for (const int i : {(y - 1) * kW + x - 1, (y - 1) * kW + x, y * kW + x - 1, y * kW + x}) {
        const bool in = mask[i] != 0;
        s += in ? valley[i] : 0;
        n += in;
      }
      work[y * kW + x] = static_cast<std::uint8_t>((s * kReciprocal[n] + 1024) >> 20);
    }
  }
  std::memcpy(valley, work.get(), kFramePixels);
  return kOk;
}

}  // namespace veltrum
