// The rotation's bilinear resampling, a vector of target pixels at a time: each lane gathers its
// 2 x 2 neighbourhood as two 32-bit reads (a source row's pair of pixels in the low bytes) and
// forms the same integer sums as the plain loop in rotate_region.cpp.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/rotate_region_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "core/image_ref.h"
#include "feature/rotate_region_simd.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void RotatePlanes(const std::uint8_t* savedImage, const std::uint8_t* savedMask, std::int32_t rc,
                  std::int32_t rs, std::uint8_t* image, std::uint8_t* mask) {
  const hn::ScalableTag<std::int32_t> d;
  const int n = static_cast<int>(hn::Lanes(d));
  // A row of results, whole vectors long.
  HWY_ALIGN std::int32_t rowImage[kOutWidth + HWY_MAX_BYTES / 4];
  HWY_ALIGN std::int32_t rowMask[kOutWidth + HWY_MAX_BYTES / 4];
  const auto* imageBase = reinterpret_cast<const std::int32_t*>(savedImage);
  const auto* maskBase = reinterpret_cast<const std::int32_t*>(savedMask);
  const auto vrc = hn::Set(d, rc), vrs = hn::Set(d, rs);
  const auto cx = hn::Set(d, 70 << 20), cy = hn::Set(d, 60 << 20);
  const auto zero = hn::Zero(d), lastX = hn::Set(d, 35583), lastY = hn::Set(d, 30463);
  const auto low = hn::Set(d, 255), one = hn::Set(d, 256), half = hn::Set(d, 32768);
  const auto width = hn::Set(d, kOutWidth);
  for (int y = 0; y < kOutHeight; ++y) {
    // (y - 60) x rc equals the plain loop's sum of rc per row: no product leaves 32 bits.
    const auto v = hn::Set(d, y - 60);
    const auto vRc = hn::Mul(v, vrc), vRs = hn::Mul(v, vrs);
    for (int x = 0; x < kOutWidth; x += n) {
      const auto u = hn::Sub(hn::Iota(d, x), hn::Set(d, 70));
      const auto sx = hn::ShiftRight<12>(hn::Add(hn::Add(hn::Mul(u, vrc), vRs), cx));
      const auto sy = hn::ShiftRight<12>(hn::Add(hn::Sub(vRc, hn::Mul(u, vrs)), cy));
      const auto off = hn::Or(hn::Or(hn::Lt(sx, zero), hn::Gt(sx, lastX)),
                              hn::Or(hn::Lt(sy, zero), hn::Gt(sy, lastY)));
      // Lanes off the plane read pixel 0 and are cleared afterwards.
      const auto at = hn::IfThenZeroElse(
          off, hn::Add(hn::Mul(hn::ShiftRight<8>(sy), width), hn::ShiftRight<8>(sx)));
      const auto below = hn::Add(at, width);
      const auto fx = hn::And(sx, low), fy = hn::And(sy, low);
      const auto gx = hn::Sub(one, fx), gy = hn::Sub(one, fy);
      const auto sample = [&](const std::int32_t* base) {
        const auto top = hn::GatherOffset(d, base, at);
        const auto bottom = hn::GatherOffset(d, base, below);
        const auto p00 = hn::And(top, low), p01 = hn::And(hn::ShiftRight<8>(top), low);
        const auto p10 = hn::And(bottom, low), p11 = hn::And(hn::ShiftRight<8>(bottom), low);
        const auto sum = hn::Add(hn::Add(hn::Mul(hn::Mul(p00, gx), gy), hn::Mul(hn::Mul(p01, fx), gy)),
                                 hn::Add(hn::Mul(hn::Mul(p10, gx), fy), hn::Mul(hn::Mul(p11, fx), fy)));
        return hn::IfThenZeroElse(off, hn::ShiftRight<16>(hn::Add(sum, half)));
      };
      hn::Store(sample(imageBase), d, rowImage + x);
      hn::Store(sample(maskBase), d, rowMask + x);
    }
    for (int x = 0; x < kOutWidth; ++x) {
      image[y * kOutWidth + x] = static_cast<std::uint8_t>(rowImage[x]);
      mask[y * kOutWidth + x] = static_cast<std::uint8_t>(rowMask[x]);
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(RotatePlanes);

void RotatePlanesSimd(const std::uint8_t* savedImage, const std::uint8_t* savedMask,
                      std::int32_t rc, std::int32_t rs, std::uint8_t* image, std::uint8_t* mask) {
  HWY_DYNAMIC_DISPATCH(RotatePlanes)(savedImage, savedMask, rc, rs, image, mask);
}

}  // namespace veltrum
#endif
