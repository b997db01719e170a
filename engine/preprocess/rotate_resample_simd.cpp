// Each lane gathers the 32 bits at its source pixel's word and at the word below: the pixel and
// its right neighbour, each with the image byte and both mask bits. The blend is the plain one,
// regrouped by rows and columns (the same integers).

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

using D = hn::ScalableTag<std::int32_t>;
using V = hn::Vec<D>;

// One row's blend across: the field at bit kShift of the pixel (low word) and of its right
// neighbour (high word), weighted by (256 - fk) and fk.
template <int kShift>
V Across(V g, V field, V gk, V fk) {
  const auto left = hn::And(hn::ShiftRight<kShift>(g), field);
  const auto right = hn::And(hn::ShiftRight<kShift + 16>(g), field);
  return hn::Add(hn::Mul(left, gk), hn::Mul(right, fk));
}

int ResampleRunWhole(const RotateRun& run) {
  const D d;
  const hn::Rebind<std::uint8_t, decltype(d)> d8;
  const int n = static_cast<int>(hn::Lanes(d));
  const auto lane = hn::Iota(d, 0);
  const auto rowLane = hn::Mul(hn::Set(d, run.s), lane);
  const auto colLane = hn::Mul(hn::Set(d, run.c), lane);
  const auto byte = hn::Set(d, 255), bit = hn::Set(d, 1), one = hn::Set(d, 256);
  const auto half = hn::Set(d, 32768), width = hn::Set(d, kFrameWidth);
  // Output columns x..x+n-1, column x at source position (rowAt, colAt).
  const auto step = [&](int x, std::int32_t rowAt, std::int32_t colAt) {
    const auto row = hn::Sub(hn::Set(d, rowAt), rowLane);
    const auto col = hn::Add(hn::Set(d, colAt), colLane);
    const auto r8 = hn::ShiftRight<12>(row), k8 = hn::ShiftRight<12>(col);
    const auto fr = hn::And(r8, byte), fk = hn::And(k8, byte);
    const auto gr = hn::Sub(one, fr), gk = hn::Sub(one, fk);
    const auto offset = hn::Add(hn::Mul(hn::ShiftRight<8>(r8), width), hn::ShiftRight<8>(k8));
    // Both rows start on a 4-byte boundary (the plane does, and a row is 640 bytes).
    const auto* above = reinterpret_cast<const std::int32_t*>(run.packed);
    const auto* below = reinterpret_cast<const std::int32_t*>(run.packed + kFrameWidth);
    const auto bytes = hn::Add(offset, offset);
    const auto top = hn::GatherOffset(d, above, bytes);
    const auto bottom = hn::GatherOffset(d, below, bytes);
    const auto blend = [&](auto across, std::uint8_t* out) {
      const auto v = hn::ShiftRight<16>(
          hn::Add(hn::Add(hn::Mul(across(top), gr), hn::Mul(across(bottom), fr)), half));
      hn::StoreU(hn::DemoteTo(d8, v), d8, out + x);
    };
    blend([&](V g) { return Across<0>(g, byte, gk, fk); }, run.dst[0]);
    blend([&](V g) { return Across<8>(g, bit, gk, fk); }, run.dst[1]);
    blend([&](V g) { return Across<9>(g, bit, gk, fk); }, run.dst[2]);
  };
  if (run.xb - run.xa < n) return run.xa;
  std::int32_t rowAt = run.row, colAt = run.col;
  int x = run.xa;
  for (; x + n <= run.xb; x += n, rowAt -= run.s * n, colAt += run.c * n) step(x, rowAt, colAt);
  // The last columns as one more vector that ends with the run; the columns it repeats get
  // the same bytes again.
  if (x < run.xb) {
    const int back = x - (run.xb - n);
    step(run.xb - n, rowAt + run.s * back, colAt - run.c * back);
  }
  return run.xb;
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
