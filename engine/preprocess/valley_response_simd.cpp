// One vector of columns at a time; the slope weights are gathered from their tables.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "preprocess/valley_response_simd.cpp"
#include "preprocess/valley_response_simd.h"

#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include <algorithm>

#include "core/image_ref.h"
#include "tables/lookup_tables.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Columns x0..x1 - 1 in whole vectors, the last one moved back to end at x1 (its columns are
// computed twice, the same both times); returns the first column not done.
int ValleyRowVectors(const std::uint8_t* plane, int y, int x0, int x1, float* out) {
  constexpr int kW = kFrameWidth;
  const hn::ScalableTag<std::int32_t> di;
  const hn::Rebind<float, decltype(di)> df;
  const hn::Rebind<std::uint8_t, decltype(di)> d8;
  const int n = static_cast<int>(hn::Lanes(di));
  const LookupTables& t = Tables();
  // Tables indexed by the tilt b - a, from -256.
  const float* f256 = t.FalloffTable256.data() + 256;
  const float* f512 = t.FalloffTable512.data() + 256;
  const float* f320 = t.FalloffTable320.data() + 256;
  const auto zero = hn::Zero(di);
  if (x1 - x0 < n) return x0;
  for (int x = x0;; x += n) {
    x = std::min(x, x1 - n);
    const std::uint8_t* p = plane + y * kW + x;
    const auto c = hn::PromoteTo(di, hn::LoadU(d8, p));
    const auto twoC = hn::Add(c, c);
    const auto term = [&](int dy, int dx, const float* falloff) {
      const auto a = hn::PromoteTo(di, hn::LoadU(d8, p - dy * kW - dx));
      const auto b = hn::PromoteTo(di, hn::LoadU(d8, p + dy * kW + dx));
      const auto depth = hn::ConvertTo(df, hn::Max(hn::Sub(hn::Add(a, b), twoC), zero));
      return hn::Mul(depth, hn::GatherIndex(df, falloff, hn::Sub(b, a)));
    };
    const auto axial = hn::Add(
        hn::Add(hn::Add(term(8, 0, f256), term(0, 8, f256)), term(8, 8, f512)), term(8, -8, f512));
    const auto oblique = hn::Add(
        hn::Add(hn::Add(term(8, -4, f320), term(4, -8, f320)), term(8, 4, f320)), term(4, 8, f320));
    hn::StoreU(hn::Add(hn::Mul(hn::Set(df, 12.0f), axial), hn::Mul(hn::Set(df, 4.0f), oblique)), df,
               out + x);
    if (x + n == x1) return x1;
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "preprocess/valley_depth.h"

namespace veltrum {

HWY_EXPORT(ValleyRowVectors);

void ValleyRowSimd(const std::uint8_t* plane, int y, int x0, int x1, float* out) {
  const LookupTables& t = Tables();
  for (int x = HWY_DYNAMIC_DISPATCH(ValleyRowVectors)(plane, y, x0, x1, out); x < x1; ++x) {
    out[x] = ValleyDepth(plane, y, x, t);
  }
}

}  // namespace veltrum
#endif
