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

// Lanes of two rows of code words (planes `strideA` and `strideB` words apart, the weight in
// the fifth plane): per lane the bits in which the rows differ (g - 28 = 104 - that count) times
// the smaller weight, squared and shifted down by 8 against a template.
class AgreementRows {
 public:
  AgreementRows() : differing_(hn::Zero(d_)), weights_(hn::Zero(d_)) {}
  void Add(const std::uint32_t* a, int strideA, const std::uint32_t* b, int strideB, int lanes,
           bool squared) {
    for (int l = 0; l < lanes; l += static_cast<int>(hn::Lanes(d_))) {
      auto bits = hn::Zero(d_);
      for (int w = 0; w < kCellCodeWords; ++w) {
        const auto x = hn::Xor(hn::LoadU(d_, a + w * strideA + l), hn::LoadU(d_, b + w * strideB + l));
        bits = hn::Add(bits, hn::PopulationCount(x));
      }
      auto w = hn::Min(hn::LoadU(d_, a + 4 * strideA + l), hn::LoadU(d_, b + 4 * strideB + l));
      if (squared) w = hn::ShiftRight<8>(hn::Mul(w, w));
      weights_ = hn::Add(weights_, w);
      differing_ = hn::Add(differing_, hn::Mul(bits, w));
    }
  }
  void Into(ShiftSums& sums) const {
    sums.agreementWeight = hn::GetLane(hn::SumOfLanes(d_, weights_));
    sums.agreementSum = 104 * sums.agreementWeight -
                        static_cast<std::int64_t>(hn::GetLane(hn::SumOfLanes(d_, differing_)));
  }

 private:
  hn::CappedTag<std::uint32_t, kAModelLanes> d_;
  hn::Vec<decltype(d_)> differing_, weights_;
};

// Lanes of two rows of weights and of 4-bit values (one a byte, planes `strideA` and `strideB`
// bytes apart): the smaller weight per lane, and (with `products`) the 16-term dot product of the
// values (at most 3600, so 16 bits hold it) times that weight.
class DotRows {
 public:
  DotRows()
      : weights_(hn::Zero(d32_)), weights1_(weights_), dots_(weights_), dots1_(weights_) {}
  void Add(const std::uint8_t* weightsA, const std::uint8_t* weightsB, const std::uint8_t* a,
           int strideA, const std::uint8_t* b, int strideB, int lanes, bool products) {
    for (int l = 0; l < lanes; l += static_cast<int>(hn::Lanes(d16_))) {
      const auto w8 = hn::Min(hn::LoadU(d8_, weightsA + l), hn::LoadU(d8_, weightsB + l));
      const auto w = hn::BitCast(di16_, hn::PromoteTo(d16_, w8));
      weights_ = hn::ReorderWidenMulAccumulate(d32_, w, hn::Set(di16_, 1), weights_, weights1_);
      if (!products) continue;
      auto dot = hn::Zero(d16_);
      for (int t = 0; t < kCellValues; ++t) {
        const auto va = hn::PromoteTo(d16_, hn::LoadU(d8_, a + t * strideA + l));
        const auto vb = hn::PromoteTo(d16_, hn::LoadU(d8_, b + t * strideB + l));
        dot = hn::Add(dot, hn::Mul(va, vb));
      }
      dots_ = hn::ReorderWidenMulAccumulate(d32_, hn::BitCast(di16_, dot), w, dots_, dots1_);
    }
  }
  void Into(ShiftSums& sums) const {
    sums.dotWeight = hn::GetLane(hn::SumOfLanes(d32_, hn::Add(weights_, weights1_)));
    sums.dotSum = hn::GetLane(hn::SumOfLanes(d32_, hn::Add(dots_, dots1_)));
  }

 private:
  hn::CappedTag<std::uint16_t, kAModelLanes> d16_;
  hn::Rebind<std::uint8_t, decltype(d16_)> d8_;
  hn::RebindToSigned<decltype(d16_)> di16_;
  hn::Repartition<std::int32_t, decltype(d16_)> d32_;
  hn::Vec<decltype(d32_)> weights_, weights1_, dots_, dots1_;
};

// Every cell of two blocks, rows r and r + rs, the other's lanes cs further on.
ShiftSums EnrolSums(const PreparedCells& reference, const PreparedCells& other, int rs, int cs) {
  const int from = kAProbeColumn0, window = AWindow(cs);
  DotRows dots;
  AgreementRows agreement;
  for (int r = 0; r < kGridRows; ++r) {
    const int ro = r + rs;
    if (ro < 0 || ro >= kGridRows) continue;
    dots.Add(&reference.coverage15[r][from], &other.coverage15[ro][window],
             &reference.values[r][0][from], kAProbeLanes, &other.values[ro][0][window],
             kAProbeLanes, kAModelLanes, true);
    agreement.Add(&reference.codes[r][0][from], kAProbeLanes, &other.codes[ro][0][window],
                  kAProbeLanes, kAModelLanes, false);
  }
  ShiftSums sums;
  dots.Into(sums);
  agreement.Into(sums);
  return sums;
}

// A template's sample rows against the probe's grid rows they fall on.
ShiftSums PreparedSums(const PreparedModel& model, const PreparedBlock& block, int rs, int cs,
                       bool products) {
  DotRows dots;
  const int aWindow = AWindow(cs);
  for (int i = 0; i < 8; ++i) {
    const int row = SampleRowsA[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    dots.Add(model.cellWeights[i], &block.coverage15[row][aWindow], &model.values[i][0][0],
             kAModelLanes, &block.values[row][0][aWindow], kAProbeLanes, kAModelLanes, products);
  }
  AgreementRows agreement;
  const int variant = BVariant(cs), bWindow = BWindow(cs);
  for (int i = 0; i < 7; ++i) {
    const int row = SampleRowsB[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    agreement.Add(&model.codes[i][0][0], kBModelLanes, &block.codes[row][variant][0][bWindow],
                  kBProbeLanes, kBModelLanes, true);
  }
  ShiftSums sums;
  dots.Into(sums);
  agreement.Into(sums);
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
