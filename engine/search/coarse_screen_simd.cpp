// The coarse screen's 240-term dot product in vectors: every template of a search passes here.
// The terms are integers, so the sum does not depend on their order.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "search/coarse_screen_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "model/vein_model.h"
#include "search/search_stages.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

std::int32_t CoarseDot(const std::int8_t* probe, const std::int8_t* model) {
  const hn::CappedTag<std::int16_t, 32> d;
  const hn::Rebind<std::int8_t, decltype(d)> d8;
  const hn::Repartition<std::int32_t, decltype(d)> d32;
  const int n = static_cast<int>(hn::Lanes(d));
  const auto iota = hn::Iota(d, 0);
  auto sum = hn::Zero(d32), sum1 = hn::Zero(d32);
  for (int start = 0; start < kCoarseEntries; start += n) {
    // The last vector ends with the list; its lanes before `start` were counted already.
    const int from = start + n <= kCoarseEntries ? start : kCoarseEntries - n;
    const auto a = hn::PromoteTo(d, hn::LoadU(d8, probe + from));
    auto b = hn::PromoteTo(d, hn::LoadU(d8, model + from));
    b = hn::IfThenElseZero(hn::Gt(iota, hn::Set(d, static_cast<std::int16_t>(start - from - 1))), b);
    sum = hn::ReorderWidenMulAccumulate(d32, a, b, sum, sum1);
  }
  return hn::GetLane(hn::SumOfLanes(d32, hn::Add(sum, sum1)));
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(CoarseDot);

std::int16_t CoarseScreenValueSimd(const std::int8_t* probeCoarse, const std::int8_t* modelCoarse) {
  return CoarseLevel(HWY_DYNAMIC_DISPATCH(CoarseDot)(probeCoarse, modelCoarse));
}

}  // namespace veltrum
#endif
