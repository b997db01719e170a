// The filter bank's passes in vectors of whatever width the processor offers, up to 64 bytes,
// chosen at run time. Each gives exactly the values of the plain filter bank: the vertical and
// box sums are 32-bit integers (16-bit products added in pairs), the horizontal ones integers
// held exactly in doubles (below 2^35, so any order and fused multiply-adds give the same), and
// the magnitudes take the same single-precision steps, one lane per response.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/filter_bank_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include <cstddef>

#include "feature/filter_bank.h"
#include "feature/filter_bank_simd.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The layouts hold vectors of at most 64 bytes: a 144-column phase row is whole vectors of up
// to 16 int32 lanes, and the 24 cell lanes whole vectors of doubles (or 16 + 8 at 8 lanes). A
// target with wider vectors runs these passes in 64 bytes of them.
inline constexpr std::size_t kVectorBytes = 64;
template <class T>
using Tag = hn::CappedTag<T, kVectorBytes / sizeof(T)>;
constexpr std::size_t kMostInt32 = kVectorBytes / sizeof(std::int32_t);
constexpr std::size_t kMostDoubles = kVectorBytes / sizeof(double);
static_assert(kPhaseRow % kMostInt32 == 0, "a phase row is whole vectors");
static_assert(kCellLanes % (2 * kMostDoubles) == 0 || kCellLanes == 3 * kMostDoubles,
              "the cell lanes are whole pairs of vectors, or one pair and a half");
static_assert(kOrientations * kCellLanes % (kVectorBytes / sizeof(float)) == 0,
              "the magnitudes are whole float vectors");

// Where compact column i (phase i / 24, slot i % 24) lies in a plane's phase rows.
inline int Padded(int i) {
  return i / kPhaseColumns * kPhaseStride + kPhaseLead + i % kPhaseColumns;
}

// Stores the values of compact columns i.. into a plane's phase rows. Runs of up to 8 lanes
// stay in one phase (8 divides 24); a wider vector goes in two halves.
template <class D>
void StoreRun(D d, hn::Vec<D> v, std::int32_t* plane, int i) {
#if HWY_TARGET != HWY_SCALAR
  if (hn::Lanes(d) > 8) {
    const hn::Half<D> dh;
    hn::StoreU(hn::LowerHalf(dh, v), dh, plane + Padded(i));
    hn::StoreU(hn::UpperHalf(dh, v), dh, plane + Padded(i + static_cast<int>(hn::Lanes(dh))));
    return;
  }
#endif
  hn::StoreU(v, d, plane + Padded(i));
}

void PhaseColumnSums(const std::uint8_t* const* above, const std::uint8_t* const* below,
                     std::int32_t* evenPairs, std::int32_t* oddPairs, std::int32_t* boxColumns) {
  const Tag<std::int32_t> d32;
  const hn::Rebind<std::uint8_t, decltype(d32)> d8;
  const int n = static_cast<int>(hn::Lanes(d32));
  const auto low = hn::Set(d32, 0xFFFF);
  for (int i = 0; i < kPhaseRow; i += n) {
    auto up = [&](int d) { return hn::PromoteTo(d32, hn::LoadU(d8, above[d] + i)); };
    auto down = [&](int d) { return hn::PromoteTo(d32, hn::LoadU(d8, below[d] + i)); };
    auto evenLow = up(0);  // E[2p], carried from the previous pair
    auto box = evenLow;    // E[0] + ... + E[d]: the box columns of half size d
    int s = 0;
    auto addToBox = [&](decltype(box) e, int d) {
      box = hn::Add(box, e);
      if (s < kFilterScales && d == ScaleHalfSizes[s])
        StoreRun(d32, box, boxColumns + s++ * kPlaneHalf, i);
    };
    for (int p = 0; p < kTapPairs; ++p) {
      const auto u1 = up(2 * p + 1), w1 = down(2 * p + 1);
      const auto u2 = up(2 * p + 2), w2 = down(2 * p + 2);
      const auto evenHigh = hn::Add(u1, w1);
      hn::StoreU(hn::Or(evenLow, hn::ShiftLeft<16>(evenHigh)), d32, evenPairs + p * kPhaseRow + i);
      const auto oddLow = hn::And(hn::Sub(u1, w1), low);
      hn::StoreU(hn::Or(oddLow, hn::ShiftLeft<16>(hn::Sub(u2, w2))), d32,
                 oddPairs + p * kPhaseRow + i);
      evenLow = hn::Add(u2, w2);
      addToBox(evenHigh, 2 * p + 1);
      addToBox(evenLow, 2 * p + 2);
    }
  }
}

// All nine planes per load of the column sums: each pair of rows is read once per column run.
void VerticalPlanes(const std::int32_t* evenPairs, const std::int32_t* oddPairs,
                    const std::int32_t* evenTaps, const std::int32_t* oddTaps, int evenCount,
                    int oddCount, std::int32_t* planes) {
  const Tag<std::int32_t> d32;
  const int n32 = static_cast<int>(hn::Lanes(d32));
  // Plane k's sums of the pairs and taps (taps[p * 9 + k]) into planes[(2k + odd) * kPlaneHalf].
  auto planeSums = [&](const std::int32_t* pairs, const std::int32_t* taps, int count, int odd) {
    for (int i = 0; i < kPhaseRow; i += n32) {
#if HWY_TARGET == HWY_SCALAR
      // One lane holds no 16-bit pair: unpack the halves.
      std::int32_t acc[kFilterPlanes] = {};
      for (int p = 0; p < count; ++p) {
        const std::int32_t v = pairs[p * kPhaseRow + i];
        for (int k = 0; k < kFilterPlanes; ++k) {
          const std::int32_t t = taps[p * kFilterPlanes + k];
          acc[k] += static_cast<std::int16_t>(t & 0xFFFF) * static_cast<std::int16_t>(v & 0xFFFF) +
                    static_cast<std::int16_t>(t >> 16) * static_cast<std::int16_t>(v >> 16);
        }
      }
      for (int k = 0; k < kFilterPlanes; ++k) {
        StoreRun(d32, hn::Set(d32, acc[k]), planes + (2 * k + odd) * kPlaneHalf, i);
      }
#else
      const hn::Repartition<std::int16_t, decltype(d32)> d16;
      hn::Vec<decltype(d32)> acc0[kFilterPlanes], acc1[kFilterPlanes];
      for (int k = 0; k < kFilterPlanes; ++k) acc0[k] = acc1[k] = hn::Zero(d32);
      for (int p = 0; p < count; ++p) {
        const auto values = hn::BitCast(d16, hn::LoadU(d32, pairs + p * kPhaseRow + i));
        for (int k = 0; k < kFilterPlanes; ++k) {
          const auto tap = hn::BitCast(d16, hn::Set(d32, taps[p * kFilterPlanes + k]));
          acc0[k] = hn::ReorderWidenMulAccumulate(d32, values, tap, acc0[k], acc1[k]);
        }
      }
      for (int k = 0; k < kFilterPlanes; ++k) {
        StoreRun(d32, hn::RearrangeToOddPlusEven(acc0[k], acc1[k]),
                 planes + (2 * k + odd) * kPlaneHalf, i);
      }
#endif
    }
  };
  planeSums(evenPairs, evenTaps, evenCount, 0);
  planeSums(oddPairs, oddTaps, oddCount, 1);
}

// The four horizontal sums of plane j for the cells from c0: kFull vectors of the full width,
// each pair of columns added and subtracted in 32 bits (below 2^22) and widened to doubles in
// two halves, then kHalf vectors of half the width; the 512-bit target takes 16 + 8 cells at
// once, twelve independent sums that keep the multiply-adds busy.
template <int kFull, int kHalf>
void PlaneCellSums(const std::int32_t* ve, const std::int32_t* vo, const double* aj,
                   const double* bj, int h, const int* centre, int c0, int j, double* even,
                   double* odd) {
  const Tag<double> d;
  const hn::Rebind<std::int32_t, decltype(d)> dh;
  const int n = static_cast<int>(hn::Lanes(d));
  constexpr int V = 2 * kFull + kHalf;  // double vectors
  hn::Vec<decltype(d)> es[V], os[V], ec[V], oc[V];
  // The widened halves of the sums and differences of the columns at `left` and `right`.
  auto pairs = [&](const std::int32_t* plane, int left, int right, hn::Vec<decltype(d)>* sum,
                   hn::Vec<decltype(d)>* diff) {
#if HWY_TARGET != HWY_SCALAR  // one lane has no halves
    if constexpr (kFull > 0) {
      const Tag<std::int32_t> di;
      const auto l = hn::LoadU(di, plane + left + c0), r = hn::LoadU(di, plane + right + c0);
      const auto s = hn::Add(l, r), t = hn::Sub(r, l);
      sum[0] = hn::PromoteTo(d, hn::LowerHalf(dh, s));
      sum[1] = hn::PromoteTo(d, hn::UpperHalf(dh, s));
      diff[0] = hn::PromoteTo(d, hn::LowerHalf(dh, t));
      diff[1] = hn::PromoteTo(d, hn::UpperHalf(dh, t));
    }
#endif
    if constexpr (kHalf > 0) {
      const int at = c0 + 2 * kFull * n;
      const auto l = hn::LoadU(dh, plane + left + at), r = hn::LoadU(dh, plane + right + at);
      sum[2 * kFull] = hn::PromoteTo(d, hn::Add(l, r));
      diff[2 * kFull] = hn::PromoteTo(d, hn::Sub(r, l));
    }
  };
  {
    hn::Vec<decltype(d)> e[V], o[V], unused[V];
    pairs(ve, centre[0], centre[0], e, unused);  // twice the centre column
    pairs(vo, centre[0], centre[0], o, unused);
    const auto a0 = hn::Set(d, aj[0] / 2);  // a power of two off: exact
    for (int v = 0; v < V; ++v) {
      es[v] = hn::Mul(a0, e[v]);
      os[v] = hn::Mul(a0, o[v]);
      ec[v] = oc[v] = hn::Zero(d);
    }
  }
  for (int t = 1; t <= h; ++t) {
    const int left = centre[-t], right = centre[t];
    const auto at = hn::Set(d, aj[t]), bt = hn::Set(d, bj[t]);
    hn::Vec<decltype(d)> se[V], de[V], so[V], dO[V];
    pairs(ve, left, right, se, de);
    pairs(vo, left, right, so, dO);
    for (int v = 0; v < V; ++v) {
      es[v] = hn::MulAdd(at, se[v], es[v]);
      os[v] = hn::MulAdd(at, so[v], os[v]);
      ec[v] = hn::MulAdd(bt, dO[v], ec[v]);
      oc[v] = hn::MulAdd(bt, de[v], oc[v]);
    }
  }
  for (int v = 0; v < V; ++v) {
    const int c = c0 + v * n;
    hn::Store(hn::Sub(es[v], ec[v]), d, even + j * kCellLanes + c);
    hn::Store(hn::Add(os[v], oc[v]), d, odd + j * kCellLanes + c);
    if (j == 0 || j == 8) continue;
    hn::Store(hn::Add(es[v], ec[v]), d, even + (16 - j) * kCellLanes + c);
    hn::Store(hn::Sub(os[v], oc[v]), d, odd + (16 - j) * kCellLanes + c);
  }
}

// Three passes over a grid row's cells: the horizontal sums of each plane; the mean removal in
// doubles; the single-precision magnitudes in the widest float vectors.
void CellMagnitudes(const std::int32_t* planes, const std::int32_t* boxColumns, const double* a,
                    const double* b, int h, const int* offsets, const std::int32_t* weightsA,
                    const std::int32_t* weightsB, std::int32_t* out) {
  constexpr int kEntries = kOrientations * kCellLanes;  // [orientation][cell]
  HWY_ALIGN double even[kEntries], odd[kEntries], means[kCellLanes];
  const Tag<double> d;
  const hn::Rebind<std::int32_t, decltype(d)> dh;
  const int n = static_cast<int>(hn::Lanes(d));
  const int* centre = offsets + kMaxHalf;
  // Each cell's box: the sum of its 2h + 1 box columns; the mean is box >> 4.
  for (int c0 = 0; c0 < kCellLanes; c0 += n) {
    auto box = hn::LoadU(dh, boxColumns + centre[0] + c0);
    for (int t = 1; t <= h; ++t) {
      box = hn::Add(box, hn::Add(hn::LoadU(dh, boxColumns + centre[-t] + c0),
                                 hn::LoadU(dh, boxColumns + centre[t] + c0)));
    }
    hn::Store(hn::PromoteTo(d, hn::ShiftRight<4>(box)), d, means + c0);
  }
  for (int j = 0; j < kFilterPlanes; ++j) {
    const std::int32_t* ve = planes + 2 * j * kPlaneHalf;
    const std::int32_t* vo = ve + kPlaneHalf;
    const double* aj = a + j * kTapRow;
    const double* bj = b + j * kTapRow;
#if HWY_TARGET == HWY_SCALAR
    for (int c0 = 0; c0 < kCellLanes; c0 += n) {
      PlaneCellSums<0, 1>(ve, vo, aj, bj, h, centre, c0, j, even, odd);
    }
#else
    if (kCellLanes % (2 * n) != 0) {  // 16 + 8 cells
      PlaneCellSums<1, 1>(ve, vo, aj, bj, h, centre, 0, j, even, odd);
    } else {
      for (int c0 = 0; c0 < kCellLanes; c0 += 2 * n) {
        PlaneCellSums<1, 0>(ve, vo, aj, bj, h, centre, c0, j, even, odd);
      }
    }
#endif
  }
  // (sum - weight * mean) >> 12 on exact integers: scaling by 2^-12 is exact, then floor.
  const hn::Rebind<std::int32_t, decltype(d)> di;
  const hn::Rebind<float, decltype(d)> dfh;
  HWY_ALIGN float fe[kEntries], fo[kEntries];
  const auto quarter = hn::Set(d, 1.0 / 4096);
  for (int i = 0; i < kEntries; i += n) {
    const auto mean = hn::Load(d, means + i % kCellLanes);
    const auto wa = hn::PromoteTo(d, hn::LoadU(di, weightsA + i));
    const auto wb = hn::PromoteTo(d, hn::LoadU(di, weightsB + i));
    const auto e = hn::Floor(hn::Mul(hn::Sub(hn::Load(d, even + i), hn::Mul(wa, mean)), quarter));
    const auto o = hn::Floor(hn::Mul(hn::Sub(hn::Load(d, odd + i), hn::Mul(wb, mean)), quarter));
    hn::Store(hn::DemoteTo(dfh, e), dfh, fe + i);
    hn::Store(hn::DemoteTo(dfh, o), dfh, fo + i);
  }
  const Tag<float> df;
  const hn::RebindToSigned<decltype(df)> dfi;
  const auto gain = hn::Set(df, 640.0f), limit = hn::Set(df, 2147483520.0f);
  for (int i = 0; i < kEntries; i += static_cast<int>(hn::Lanes(df))) {
    const auto e = hn::Load(df, fe + i), o = hn::Load(df, fo + i);
    const auto root = hn::Sqrt(hn::Add(hn::Mul(e, e), hn::Mul(o, o)));
    hn::StoreU(hn::ConvertTo(dfi, hn::Min(hn::Mul(gain, root), limit)), dfi, out + i);
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
                         std::int32_t* evenPairs, std::int32_t* oddPairs,
                         std::int32_t* boxColumns) {
  HWY_DYNAMIC_DISPATCH(PhaseColumnSums)(above, below, evenPairs, oddPairs, boxColumns);
}

void VerticalPlanesSimd(const std::int32_t* evenPairs, const std::int32_t* oddPairs,
                        const std::int32_t* evenTaps, const std::int32_t* oddTaps, int evenCount,
                        int oddCount, std::int32_t* planes) {
  HWY_DYNAMIC_DISPATCH(VerticalPlanes)
  (evenPairs, oddPairs, evenTaps, oddTaps, evenCount, oddCount, planes);
}

void CellMagnitudesSimd(const std::int32_t* planes, const std::int32_t* boxColumns, const double* a,
                        const double* b, int h, const int* offsets, const std::int32_t* weightsA,
                        const std::int32_t* weightsB, std::int32_t* out) {
  HWY_DYNAMIC_DISPATCH(CellMagnitudes)
  (planes, boxColumns, a, b, h, offsets, weightsA, weightsB, out);
}

}  // namespace veltrum
#endif
