// One vector of columns at a time; the reciprocals of the counts are gathered from their table.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "preprocess/brighten_row_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "preprocess/brighten_row.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Columns x0.. in whole vectors; returns the first column not done.
int BrightenRowVectors(const std::int32_t* count, const std::int32_t* value,
                       const std::int32_t* square, const std::uint8_t* maskRow, int x0, int x1,
                       std::uint8_t* out) {
  const hn::ScalableTag<std::int32_t> di;
  const hn::Rebind<float, decltype(di)> df;
  const hn::Rebind<std::uint8_t, decltype(di)> d8;
  const int n = static_cast<int>(hn::Lanes(di));
  const float* reciprocals = Tables().ReciprocalTable.data();
  const auto white = hn::Set(di, 255);
  int x = x0;
  for (; x + n <= x1; x += n) {
    const auto window = [&](const std::int32_t* column) {
      auto s = hn::LoadU(di, column + x);
      for (int k = 1; k <= 2 * kBrightenReach; ++k) s = hn::Add(s, hn::LoadU(di, column + x + k));
      return s;
    };
    const auto reciprocal = hn::GatherIndex(df, reciprocals, window(count));
    const auto mean = hn::Mul(hn::ConvertTo(df, window(value)), reciprocal);
    const auto variance =
        hn::Sub(hn::Mul(hn::ConvertTo(df, window(square)), reciprocal), hn::Mul(mean, mean));
    const auto even = hn::Lt(hn::Mul(hn::Set(df, 0.02f), variance), hn::Set(df, 100.0f));
    const auto bright = hn::Min(
        hn::ShiftRight<16>(hn::Mul(hn::ConvertTo(di, mean), hn::Set(di, kBrightenScale))), white);
    const auto outside = hn::Eq(hn::PromoteTo(di, hn::LoadU(d8, maskRow + x)), hn::Zero(di));
    const auto result =
        hn::IfThenElse(hn::AndNot(outside, hn::RebindMask(di, even)), bright, white);
    hn::StoreU(hn::DemoteTo(d8, result), d8, out + x);
  }
  return x;
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(BrightenRowVectors);

void BrightenRowSimd(const std::int32_t* count, const std::int32_t* value,
                     const std::int32_t* square, const std::uint8_t* maskRow, int x0, int x1,
                     std::uint8_t* out) {
  const int done =
      HWY_DYNAMIC_DISPATCH(BrightenRowVectors)(count, value, square, maskRow, x0, x1, out);
  BrightenRow(count, value, square, maskRow, done, x1, out);
}

}  // namespace veltrum
#endif
