// A shift's sums lane by lane over the prepared rows. Every sum is an exact integer, so the order
// of the additions does not matter. Processors with vector bit counts get their own target.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "match/shift_sums_simd.cpp"
#ifndef HWY_WANT_AVX3_DL
#define HWY_WANT_AVX3_DL
#endif
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "match/shift_sums.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// B-samples: per lane, the bits in which the code rows differ (g - 28 = 104 - that count), times
// w2 = (w x w) >> 8 with w the smaller weight.
void AgreementSums(const PreparedModel& model, const PreparedBlock& block, int rs, int cs,
                   ShiftSums& sums) {
  const hn::CappedTag<std::uint32_t, kBModelLanes> d;
  const int n = static_cast<int>(hn::Lanes(d));
  const int variant = BVariant(cs), window = BWindow(cs);
  auto differing = hn::Zero(d), weights = hn::Zero(d);
  for (int i = 0; i < 7; ++i) {
    const int row = SampleRowsB[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    const std::uint32_t* probe = &block.codes[row][variant][0][window];
    for (int l = 0; l < kBModelLanes; l += n) {
      auto bits = hn::Zero(d);
      for (int w = 0; w < kCellCodeWords; ++w) {
        const auto x = hn::Xor(hn::LoadU(d, &model.codes[i][w][l]),
                               hn::LoadU(d, probe + w * kBProbeLanes + l));
        bits = hn::Add(bits, hn::PopulationCount(x));
      }
      const auto w = hn::Min(hn::LoadU(d, &model.codes[i][4][l]),
                             hn::LoadU(d, probe + 4 * kBProbeLanes + l));
      const auto w2 = hn::ShiftRight<8>(hn::Mul(w, w));
      weights = hn::Add(weights, w2);
      differing = hn::Add(differing, hn::Mul(bits, w2));
    }
  }
  sums.agreementWeight = hn::GetLane(hn::SumOfLanes(d, weights));
  sums.agreementSum = 104 * sums.agreementWeight -
                      static_cast<std::int64_t>(hn::GetLane(hn::SumOfLanes(d, differing)));
}

// A-samples: the smaller weight per lane, and (with `products`) the 16-term dot product of the
// 4-bit values (at most 3600, so 16 bits hold it) times that weight.
void DotSums(const PreparedModel& model, const PreparedBlock& block, int rs, int cs, bool products,
             ShiftSums& sums) {
  const hn::CappedTag<std::uint16_t, kAModelLanes> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const hn::RebindToSigned<decltype(d16)> di16;
  const hn::Repartition<std::int32_t, decltype(d16)> d32;
  const int n = static_cast<int>(hn::Lanes(d16));
  const int window = AWindow(cs);
  const auto ones = hn::Set(di16, 1);
  auto weights = hn::Zero(d32), weights1 = hn::Zero(d32);
  auto dots = hn::Zero(d32), dots1 = hn::Zero(d32);
  for (int i = 0; i < 8; ++i) {
    const int row = SampleRowsA[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    for (int l = 0; l < kAModelLanes; l += n) {
      const auto w8 = hn::Min(hn::LoadU(d8, &model.cellWeights[i][l]),
                              hn::LoadU(d8, &block.coverage15[row][window + l]));
      const auto w = hn::BitCast(di16, hn::PromoteTo(d16, w8));
      weights = hn::ReorderWidenMulAccumulate(d32, w, ones, weights, weights1);
      if (!products) continue;
      auto dot = hn::Zero(d16);
      for (int t = 0; t < kCellValues; ++t) {
        const auto a = hn::PromoteTo(d16, hn::LoadU(d8, &model.values[i][t][l]));
        const auto b = hn::PromoteTo(d16, hn::LoadU(d8, &block.values[row][t][window + l]));
        dot = hn::Add(dot, hn::Mul(a, b));
      }
      dots = hn::ReorderWidenMulAccumulate(d32, hn::BitCast(di16, dot), w, dots, dots1);
    }
  }
  sums.dotWeight = hn::GetLane(hn::SumOfLanes(d32, hn::Add(weights, weights1)));
  sums.dotSum = hn::GetLane(hn::SumOfLanes(d32, hn::Add(dots, dots1)));
}

// Every cell of two blocks, rows r and r + rs, the other's lanes cs further on.
ShiftSums EnrolSums(const PreparedCells& reference, const PreparedCells& other, int rs, int cs) {
  const hn::CappedTag<std::uint16_t, kAModelLanes> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const hn::RebindToSigned<decltype(d16)> di16;
  const hn::Repartition<std::int32_t, decltype(d16)> d32;
  const hn::CappedTag<std::uint32_t, kAModelLanes> du32;
  const int n16 = static_cast<int>(hn::Lanes(d16)), n32 = static_cast<int>(hn::Lanes(du32));
  const int from = kAProbeColumn0, window = AWindow(cs);
  const auto ones = hn::Set(di16, 1);
  auto weights = hn::Zero(d32), weights1 = hn::Zero(d32);
  auto dots = hn::Zero(d32), dots1 = hn::Zero(d32);
  auto differing = hn::Zero(du32), codeWeights = hn::Zero(du32);
  for (int r = 0; r < kGridRows; ++r) {
    const int ro = r + rs;
    if (ro < 0 || ro >= kGridRows) continue;
    for (int l = 0; l < kAModelLanes; l += n16) {
      const auto w8 = hn::Min(hn::LoadU(d8, &reference.coverage15[r][from + l]),
                              hn::LoadU(d8, &other.coverage15[ro][window + l]));
      const auto w = hn::BitCast(di16, hn::PromoteTo(d16, w8));
      weights = hn::ReorderWidenMulAccumulate(d32, w, ones, weights, weights1);
      auto dot = hn::Zero(d16);
      for (int t = 0; t < kCellValues; ++t) {
        const auto a = hn::PromoteTo(d16, hn::LoadU(d8, &reference.values[r][t][from + l]));
        const auto b = hn::PromoteTo(d16, hn::LoadU(d8, &other.values[ro][t][window + l]));
        dot = hn::Add(dot, hn::Mul(a, b));
      }
      dots = hn::ReorderWidenMulAccumulate(d32, hn::BitCast(di16, dot), w, dots, dots1);
    }
    for (int l = 0; l < kAModelLanes; l += n32) {
      auto bits = hn::Zero(du32);
      for (int w = 0; w < kCellCodeWords; ++w) {
        const auto x = hn::Xor(hn::LoadU(du32, &reference.codes[r][w][from + l]),
                               hn::LoadU(du32, &other.codes[ro][w][window + l]));
        bits = hn::Add(bits, hn::PopulationCount(x));
      }
      const auto w = hn::Min(hn::LoadU(du32, &reference.codes[r][4][from + l]),
                             hn::LoadU(du32, &other.codes[ro][4][window + l]));
      codeWeights = hn::Add(codeWeights, w);
      differing = hn::Add(differing, hn::Mul(bits, w));
    }
  }
  ShiftSums sums;
  sums.dotWeight = hn::GetLane(hn::SumOfLanes(d32, hn::Add(weights, weights1)));
  sums.dotSum = hn::GetLane(hn::SumOfLanes(d32, hn::Add(dots, dots1)));
  sums.agreementWeight = hn::GetLane(hn::SumOfLanes(du32, codeWeights));
  sums.agreementSum = 104 * sums.agreementWeight -
                      static_cast<std::int64_t>(hn::GetLane(hn::SumOfLanes(du32, differing)));
  return sums;
}

ShiftSums PreparedSums(const PreparedModel& model, const PreparedBlock& block, int rs, int cs,
                       bool products) {
  ShiftSums sums;
  DotSums(model, block, rs, cs, products, sums);
  AgreementSums(model, block, rs, cs, sums);
  return sums;
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(PreparedSums);
HWY_EXPORT(EnrolSums);

ShiftSums PreparedShiftSums(const PreparedModel& model, const PreparedBlock& block, int rs, int cs,
                            bool products) {
  return HWY_DYNAMIC_DISPATCH(PreparedSums)(model, block, rs, cs, products);
}

ShiftSums EnrolShiftSums(const PreparedCells& reference, const PreparedCells& other, int rs,
                         int cs) {
  return HWY_DYNAMIC_DISPATCH(EnrolSums)(reference, other, rs, cs);
}

}  // namespace veltrum
#endif
