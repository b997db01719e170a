// The filter bank's passes in vectors of whatever width the processor offers, chosen at run
// time. Each gives exactly the values of the plain filter bank: the vertical sums are 32-bit
// integers (16-bit products added in pairs), the horizontal ones integers held exactly in
// doubles (below 2^35, so any order and fused multiply-adds give the same), and the magnitudes
// take the same single-precision steps one lane per cell.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/filter_bank_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "feature/filter_bank_simd.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

constexpr int kLastCell = 21;     // of a grid row
constexpr int kCellStride = 112;  // responses of one cell: 7 scales x 16 orientations

void PhaseColumnSums(const std::uint8_t* const* above, const std::uint8_t* const* below,
                     std::int32_t* evenPairs, std::int32_t* oddPairs) {
  const hn::ScalableTag<std::int32_t> d32;
  const hn::Rebind<std::uint8_t, decltype(d32)> d8;
  const int n = static_cast<int>(hn::Lanes(d32));
  const auto low = hn::Set(d32, 0xFFFF);
  for (int i = 0; i < kPhaseRow; i += n) {
    auto up = [&](int d) { return hn::PromoteTo(d32, hn::LoadU(d8, above[d] + i)); };
    auto down = [&](int d) { return hn::PromoteTo(d32, hn::LoadU(d8, below[d] + i)); };
    auto evenLow = up(0);  // E[2p], carried from the previous pair
    for (int p = 0; p < kTapPairs; ++p) {
      const auto u1 = up(2 * p + 1), w1 = down(2 * p + 1);
      const auto u2 = up(2 * p + 2), w2 = down(2 * p + 2);
      const auto evenHigh = hn::Add(u1, w1);
      hn::StoreU(hn::Or(evenLow, hn::ShiftLeft<16>(evenHigh)), d32, evenPairs + p * kPhaseRow + i);
      const auto oddLow = hn::And(hn::Sub(u1, w1), low);
      hn::StoreU(hn::Or(oddLow, hn::ShiftLeft<16>(hn::Sub(u2, w2))), d32,
                 oddPairs + p * kPhaseRow + i);
      evenLow = hn::Add(u2, w2);
    }
  }
}

void VerticalPlanes(const std::int32_t* evenPairs, const std::int32_t* oddPairs,
                    const std::int32_t* evenTaps, const std::int32_t* oddTaps, int evenCount,
                    int oddCount, double* planes) {
  const hn::ScalableTag<std::int32_t> d32;
  const hn::ScalableTag<double> d64;
  const hn::Rebind<std::int32_t, decltype(d64)> d32h;
  const int n32 = static_cast<int>(hn::Lanes(d32)), n64 = static_cast<int>(hn::Lanes(d64));
#if HWY_TARGET == HWY_SCALAR
  // One lane holds no 16-bit pair: unpack the halves.
  auto pairSum = [&](const std::int32_t* pairs, const std::int32_t* taps, int count, int i) {
    std::int32_t sum = 0;
    for (int p = 0; p < count; ++p) {
      const std::int32_t v = pairs[p * kPhaseRow + i], t = taps[p];
      sum += static_cast<std::int16_t>(t & 0xFFFF) * static_cast<std::int16_t>(v & 0xFFFF) +
             static_cast<std::int16_t>(t >> 16) * static_cast<std::int16_t>(v >> 16);
    }
    return hn::Set(d32, sum);
  };
#else
  const hn::Repartition<std::int16_t, decltype(d32)> d16;
  auto pairSum = [&](const std::int32_t* pairs, const std::int32_t* taps, int count, int i) {
    auto sum0 = hn::Zero(d32), sum1 = hn::Zero(d32);
    for (int p = 0; p < count; ++p) {
      const auto values = hn::BitCast(d16, hn::LoadU(d32, pairs + p * kPhaseRow + i));
      sum0 = hn::ReorderWidenMulAccumulate(d32, values, hn::BitCast(d16, hn::Set(d32, taps[p])),
                                           sum0, sum1);
    }
    return hn::RearrangeToOddPlusEven(sum0, sum1);
  };
#endif
  HWY_ALIGN std::int32_t se[kPhaseRow], so[kPhaseRow];
  for (int k = 0; k < kFilterPlanes; ++k) {
    for (int i = 0; i < kPhaseRow; i += n32) {
      hn::Store(pairSum(evenPairs, evenTaps + k * kTapPairs, evenCount, i), d32, se + i);
      hn::Store(pairSum(oddPairs, oddTaps + k * kTapPairs, oddCount, i), d32, so + i);
    }
    double* even = planes + 2 * k * kPlaneHalf + kPhaseLead;
    double* odd = even + kPlaneHalf;
    for (int i = 0; i < kPhaseRow; i += n64) {  // n64 divides 24: a run stays in its phase
      const int at = i / kPhaseColumns * kPhaseStride + i % kPhaseColumns;
      hn::StoreU(hn::PromoteTo(d64, hn::Load(d32h, se + i)), d64, even + at);
      hn::StoreU(hn::PromoteTo(d64, hn::Load(d32h, so + i)), d64, odd + at);
    }
  }
}

void CellMagnitudes(const double* planes, const double* a, const double* b, int h,
                    const int* offsets, const double* means, const std::int32_t* weightsA,
                    const std::int32_t* weightsB, std::int32_t* out) {
  const hn::ScalableTag<double> d;
  const hn::Rebind<std::int32_t, decltype(d)> di;
  const hn::Rebind<float, decltype(d)> df;
  const int n = static_cast<int>(hn::Lanes(d));
  const int* centre = offsets + kMaxHalf;
  for (int c0 = 0; c0 < kCellLanes; c0 += n) {
    // Lanes past the last cell read the last cell's weights and are never copied out.
    const auto index = hn::Mul(hn::Min(hn::Iota(di, c0), hn::Set(di, kLastCell)), hn::Set(di, kCellStride));
    const auto mean = hn::LoadU(d, means + c0);
    auto magnitude = [&](int k, decltype(mean) even, decltype(mean) odd) {
      const auto wa = hn::PromoteTo(d, hn::GatherIndex(di, weightsA + k, index));
      const auto wb = hn::PromoteTo(d, hn::GatherIndex(di, weightsB + k, index));
      // (sum - weight * mean) >> 12 on exact integers: scaling by 2^-12 is exact, then floor.
      const auto quarter = hn::Set(d, 1.0 / 4096);
      const auto e = hn::Floor(hn::Mul(hn::Sub(even, hn::Mul(wa, mean)), quarter));
      const auto o = hn::Floor(hn::Mul(hn::Sub(odd, hn::Mul(wb, mean)), quarter));
      const auto fe = hn::DemoteTo(df, e), fo = hn::DemoteTo(df, o);
      const auto root = hn::Sqrt(hn::Add(hn::Mul(fe, fe), hn::Mul(fo, fo)));
      const auto value = hn::Min(hn::Mul(hn::Set(df, 640.0f), root), hn::Set(df, 2147483520.0f));
      hn::StoreU(hn::ConvertTo(di, value), di, out + k * kCellLanes + c0);
    };
    for (int j = 0; j < kFilterPlanes; ++j) {
      const double* ve = planes + 2 * j * kPlaneHalf + c0;
      const double* vo = ve + kPlaneHalf;
      const double* aj = a + j * kTapRow;
      const double* bj = b + j * kTapRow;
      auto es = hn::Mul(hn::Set(d, aj[0]), hn::LoadU(d, ve + centre[0]));
      auto os = hn::Mul(hn::Set(d, aj[0]), hn::LoadU(d, vo + centre[0]));
      auto ec = hn::Zero(d), oc = hn::Zero(d);
      for (int t = 1; t <= h; ++t) {
        const int left = centre[-t], right = centre[t];
        const auto le = hn::LoadU(d, ve + left), re = hn::LoadU(d, ve + right);
        const auto lo = hn::LoadU(d, vo + left), ro = hn::LoadU(d, vo + right);
        const auto at = hn::Set(d, aj[t]), bt = hn::Set(d, bj[t]);
        es = hn::MulAdd(at, hn::Add(le, re), es);
        os = hn::MulAdd(at, hn::Add(lo, ro), os);
        ec = hn::MulAdd(bt, hn::Sub(ro, lo), ec);
        oc = hn::MulAdd(bt, hn::Sub(re, le), oc);
      }
      magnitude(j, hn::Sub(es, ec), hn::Add(os, oc));
      if (j != 0 && j != 8) magnitude(16 - j, hn::Add(es, ec), hn::Sub(os, oc));
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(PhaseColumnSums);
HWY_EXPORT(VerticalPlanes);
HWY_EXPORT(CellMagnitudes);

void PhaseColumnSumsSimd(const std::uint8_t* const* above, const std::uint8_t* const* below,
                         std::int32_t* evenPairs, std::int32_t* oddPairs) {
  HWY_DYNAMIC_DISPATCH(PhaseColumnSums)(above, below, evenPairs, oddPairs);
}

void VerticalPlanesSimd(const std::int32_t* evenPairs, const std::int32_t* oddPairs,
                        const std::int32_t* evenTaps, const std::int32_t* oddTaps, int evenCount,
                        int oddCount, double* planes) {
  HWY_DYNAMIC_DISPATCH(VerticalPlanes)(evenPairs, oddPairs, evenTaps, oddTaps, evenCount,
                                       oddCount, planes);
}

void CellMagnitudesSimd(const double* planes, const double* a, const double* b, int h,
                        const int* offsets, const double* means, const std::int32_t* weightsA,
                        const std::int32_t* weightsB, std::int32_t* out) {
  HWY_DYNAMIC_DISPATCH(CellMagnitudes)(planes, a, b, h, offsets, means, weightsA, weightsB, out);
}

}  // namespace veltrum
#endif
