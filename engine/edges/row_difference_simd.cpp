// Row differences summed over a column window: each row's window is taken eight columns at a
// time as one sum of absolute differences, the columns left over one by one.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "edges/row_difference_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include <cstdlib>

#include "core/image_ref.h"
#include "edges/edge_profiles.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void DifferenceRows(const std::uint8_t* image, int c0, int c1, std::int32_t* profile) {
  constexpr int kW = kFrameWidth;
  profile[0] = profile[kEdgeRows - 1] = 0;
  int whole = 0;
#if HWY_TARGET != HWY_SCALAR  // single lanes have no 8-byte sums
  whole = (c1 - c0 + 1) / 8 * 8;
  const hn::Full64<std::uint8_t> d;
#endif
  for (int r = 1; r < kEdgeRows - 1; ++r) {
    const std::uint8_t* below = image + (r + 1) * kW + c0;
    const std::uint8_t* above = image + (r - 1) * kW + c0;
    std::int32_t sum = 0;
#if HWY_TARGET != HWY_SCALAR
    for (int i = 0; i < whole; i += 8) {
      const auto a = hn::LoadU(d, below + i), b = hn::LoadU(d, above + i);
      const auto diff = hn::Or(hn::SaturatedSub(a, b), hn::SaturatedSub(b, a));
      sum += static_cast<std::int32_t>(hn::GetLane(hn::SumsOf8(diff)));
    }
#endif
    for (int i = whole; i <= c1 - c0; ++i) sum += std::abs(below[i] - above[i]);
    profile[r] = sum;
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(DifferenceRows);

void RowDifferenceProfile(const std::uint8_t* image, int c0, int c1, std::int32_t* profile) {
  HWY_DYNAMIC_DISPATCH(DifferenceRows)(image, c0, c1, profile);
}

}  // namespace veltrum
#endif
