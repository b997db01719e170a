// Each lane gathers the 32 bits at its source pixel and at the one below: the low two bytes are
// the pixel and its right neighbour. The blend is the plain one, regrouped by rows and columns
// (the same integers).

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "preprocess/rotate_resample_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "core/image_ref.h"
#include "preprocess/rotate_resample.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

int ResampleRunWhole(const RotateRun& run) {
  const hn::ScalableTag<std::int32_t> d;
  const hn::Rebind<std::uint8_t, decltype(d)> d8;
  const int n = static_cast<int>(hn::Lanes(d));
  const auto lane = hn::Iota(d, 0);
  auto row = hn::Sub(hn::Set(d, run.row), hn::Mul(hn::Set(d, run.s), lane));
  auto col = hn::Add(hn::Set(d, run.col), hn::Mul(hn::Set(d, run.c), lane));
  const auto rowStep = hn::Set(d, run.s * n), colStep = hn::Set(d, run.c * n);
  const auto byte = hn::Set(d, 255), one = hn::Set(d, 256), half = hn::Set(d, 32768);
  const auto width = hn::Set(d, kFrameWidth);
  int x = run.xa;
  for (; x + n <= run.xb; x += n) {
    const auto r8 = hn::ShiftRight<12>(row), k8 = hn::ShiftRight<12>(col);
    const auto fr = hn::And(r8, byte), fk = hn::And(k8, byte);
    const auto gr = hn::Sub(one, fr), gk = hn::Sub(one, fk);
    const auto offset = hn::Add(hn::Mul(hn::ShiftRight<8>(r8), width), hn::ShiftRight<8>(k8));
    const auto across = [&](hn::Vec<decltype(d)> g) {
      return hn::Add(hn::Mul(hn::And(g, byte), gk), hn::Mul(hn::And(hn::ShiftRight<8>(g), byte), fk));
    };
    for (int i = 0; i < 3; ++i) {
      // Both rows start on a 4-byte boundary (the planes do, and 320 is a multiple of 4).
      const auto* above = reinterpret_cast<const std::int32_t*>(run.src[i]);
      const auto* below = reinterpret_cast<const std::int32_t*>(run.src[i] + kFrameWidth);
      const auto top = across(hn::GatherOffset(d, above, offset));
      const auto bottom = across(hn::GatherOffset(d, below, offset));
      const auto v = hn::ShiftRight<16>(hn::Add(hn::Add(hn::Mul(top, gr), hn::Mul(bottom, fr)), half));
      hn::StoreU(hn::DemoteTo(d8, v), d8, run.dst[i] + x);
    }
    row = hn::Sub(row, rowStep);
    col = hn::Add(col, colStep);
  }
  return x;
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(ResampleRunWhole);

int ResampleRunVectors(const RotateRun& run) { return HWY_DYNAMIC_DISPATCH(ResampleRunWhole)(run); }

}  // namespace veltrum
#endif
