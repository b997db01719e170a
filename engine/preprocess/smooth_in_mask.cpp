// Mean of the finger pixels of each 2 x 2 block, by a 20-bit reciprocal.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

// At most 4 x 255 times 2^20 / n: 32-bit sums hold every product.
constexpr std::int32_t kReciprocal[5] = {0, 1048576, 524288, 349525, 262144};

// (s x kReciprocal[n] + 1024) >> 20 is the floor of s / n for every sum of n bytes, and the
// floor is what 16-bit lanes can take: shifts, and for 3 a multiply by 2^17 / 3 rounded up.
constexpr std::uint16_t BlockMean(std::uint16_t s, std::uint8_t n) {
  const std::uint16_t half = s >> 1, third = static_cast<std::uint16_t>((s * 43691u) >> 17),
                      quarter = s >> 2;
  return n == 1 ? s : n == 2 ? half : n == 3 ? third : quarter;
}

constexpr bool BlockMeanIsTheReciprocalRule() {
  for (std::uint8_t n = 1; n <= 4; ++n) {
    for (std::int32_t s = 0; s <= 255 * n; ++s) {
      if (BlockMean(static_cast<std::uint16_t>(s), n) != (s * kReciprocal[n] + 1024) >> 20)
        return false;
    }
  }
  return true;
}
static_assert(BlockMeanIsTheReciprocalRule());

}  // namespace

int SmoothInMask(const std::uint8_t* mask, std::uint8_t* valley, int top, int bottom) {
  constexpr int kW = kFrameWidth;
  // Zeroed, so pixels outside the mask read back as 0 rather than stale memory.
  auto work = AllocZeroedArray<std::uint8_t>(kFramePixels);
  if (!work) return kOutOfMemory;
  for (int y = std::max(top, 1); y <= std::min(bottom, kFrameHeight) - 1; ++y) {
    const std::uint8_t* maskAbove = mask + (y - 1) * kW;
    const std::uint8_t* maskHere = maskAbove + kW;
    const std::uint8_t* above = valley + (y - 1) * kW;
    const std::uint8_t* here = above + kW;
    // Each column's pair of rows y - 1 and y, then each block as two neighbouring pairs.
    std::uint16_t pairSum[kW];
    std::uint8_t pairCount[kW];
    for (int x = 0; x < kW; ++x) {
      const int a = maskAbove[x] != 0, b = maskHere[x] != 0;
      pairSum[x] = static_cast<std::uint16_t>(a * above[x] + b * here[x]);
      pairCount[x] = static_cast<std::uint8_t>(a + b);
    }
    std::uint8_t* out = work.get() + y * kW;
    for (int x = 1; x < kW - 1; ++x) {
      const std::uint16_t s = static_cast<std::uint16_t>(pairSum[x - 1] + pairSum[x]);
      const std::uint8_t n = static_cast<std::uint8_t>(pairCount[x - 1] + pairCount[x]);
      out[x] = maskHere[x] != 0 ? static_cast<std::uint8_t>(BlockMean(s, n)) : 0;
    }
  }
  std::memcpy(valley, work.get(), kFramePixels);
  return kOk;
}

}  // namespace veltrum
