// The filter bank's two inner passes in vectors of whatever width the processor offers, chosen at
// run time. Each gives exactly the values of the plain loops in filter_bank.cpp: the vertical
// sums are 32-bit integers, the horizontal ones integers held exactly in doubles.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/filter_bank_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "feature/filter_bank_simd.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void VerticalPlaneSums(const std::int16_t* even, const std::int16_t* odd, const std::int16_t* ce,
                       const std::int16_t* co, int h, int centreWeight, std::int32_t* se,
                       std::int32_t* so) {
  const hn::ScalableTag<std::int32_t> d32;
  const hn::Rebind<std::int16_t, decltype(d32)> d16;
  const int n = static_cast<int>(hn::Lanes(d32));
  const auto centre = hn::Set(d32, centreWeight);
  for (int x = 0; x < kSimdColumns; x += n) {
    auto sumEven = hn::Mul(centre, hn::PromoteTo(d32, hn::LoadU(d16, even + x)));
    auto sumOdd = hn::Zero(d32);
    for (int d = 1; d <= h; ++d) {
      const auto e = hn::PromoteTo(d32, hn::LoadU(d16, even + d * kSimdRow + x));
      const auto o = hn::PromoteTo(d32, hn::LoadU(d16, odd + (d - 1) * kSimdRow + x));
      sumEven = hn::Add(sumEven, hn::Mul(hn::Set(d32, ce[d]), e));
      sumOdd = hn::Add(sumOdd, hn::Mul(hn::Set(d32, co[d]), o));
    }
    hn::StoreU(sumEven, d32, se + x);
    hn::StoreU(sumOdd, d32, so + x);
  }
}

void HorizontalCellSums(const double* centre, const double* a, const double* b, int h,
                        double* evenSym, double* oddSym, double* evenCross, double* oddCross) {
  const hn::ScalableTag<double> d;
  const int n = static_cast<int>(hn::Lanes(d));
  for (int j = 0; j < kFilterPlanes; j += n) {
    auto es = hn::Mul(hn::LoadU(d, a + j), hn::LoadU(d, centre + j));
    auto os = hn::Mul(hn::LoadU(d, a + j), hn::LoadU(d, centre + kFilterPlanes + j));
    auto ec = hn::Zero(d), oc = hn::Zero(d);
    for (int k = 1; k <= h; ++k) {
      const double* left = centre - k * kSimdColumnValues;
      const double* right = centre + k * kSimdColumnValues;
      const auto ak = hn::LoadU(d, a + k * kSimdPlanes + j);
      const auto bk = hn::LoadU(d, b + k * kSimdPlanes + j);
      const auto le = hn::LoadU(d, left + j), re = hn::LoadU(d, right + j);
      const auto lo = hn::LoadU(d, left + kFilterPlanes + j);
      const auto ro = hn::LoadU(d, right + kFilterPlanes + j);
      es = hn::Add(es, hn::Mul(ak, hn::Add(le, re)));
      os = hn::Add(os, hn::Mul(ak, hn::Add(lo, ro)));
      ec = hn::Add(ec, hn::Mul(bk, hn::Sub(ro, lo)));
      oc = hn::Add(oc, hn::Mul(bk, hn::Sub(re, le)));
    }
    hn::StoreU(es, d, evenSym + j);
    hn::StoreU(os, d, oddSym + j);
    hn::StoreU(ec, d, evenCross + j);
    hn::StoreU(oc, d, oddCross + j);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(VerticalPlaneSums);
HWY_EXPORT(HorizontalCellSums);

void VerticalPlaneSumsSimd(const std::int16_t* even, const std::int16_t* odd,
                           const std::int16_t* ce, const std::int16_t* co, int h,
                           int centreWeight, std::int32_t* se, std::int32_t* so) {
  HWY_DYNAMIC_DISPATCH(VerticalPlaneSums)(even, odd, ce, co, h, centreWeight, se, so);
}

void HorizontalCellSumsSimd(const double* centre, const double* a, const double* b, int h,
                            double* evenSym, double* oddSym, double* evenCross,
                            double* oddCross) {
  HWY_DYNAMIC_DISPATCH(HorizontalCellSums)(centre, a, b, h, evenSym, oddSym, evenCross, oddCross);
}

}  // namespace veltrum
#endif
