// The rotation's bilinear resampling, a vector of target pixels at a time. Each source pixel's
// 2 x 2 neighbourhood is first laid out as four bytes, so that one 32-bit gather per lane and
// plane fetches it; the sums are the plain loop's integers.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "feature/rotate_region_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include <cstring>

#include "feature/rotate_region_simd.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Pixels whose whole neighbourhood lies in the plane, in index order; every source pixel of an
// inside target (row <= 118, column <= 138) is among them.
constexpr int kQuadPixels = (kOutHeight - 1) * kOutWidth - 1;

// quads[4i..4i+3] = plane[i], plane[i + 1], plane[i + 140], plane[i + 141].
void LayOutNeighbourhoods(const std::uint8_t* plane, std::uint8_t* quads) {
  const hn::ScalableTag<std::uint8_t> d;
  const int n = static_cast<int>(hn::Lanes(d));
  int i = 0;
  for (; i + n <= kQuadPixels; i += n) {
    hn::StoreInterleaved4(hn::LoadU(d, plane + i), hn::LoadU(d, plane + i + 1),
                          hn::LoadU(d, plane + i + kOutWidth), hn::LoadU(d, plane + i + kOutWidth + 1),
                          d, quads + 4 * i);
  }
  for (; i < kQuadPixels; ++i) {
    quads[4 * i] = plane[i];
    quads[4 * i + 1] = plane[i + 1];
    quads[4 * i + 2] = plane[i + kOutWidth];
    quads[4 * i + 3] = plane[i + kOutWidth + 1];
  }
}

void RotatePlanes(std::uint8_t* image, std::uint8_t* mask, std::int32_t rc, std::int32_t rs,
                  std::uint8_t* scratchImage, std::uint8_t* scratchMask) {
  LayOutNeighbourhoods(image, scratchImage);
  LayOutNeighbourhoods(mask, scratchMask);
  const hn::ScalableTag<std::int32_t> d;
  const int n = static_cast<int>(hn::Lanes(d));
  // A row of results, whole vectors long.
  HWY_ALIGN std::int32_t rowImage[kOutWidth + HWY_MAX_BYTES / 4];
  HWY_ALIGN std::int32_t rowMask[kOutWidth + HWY_MAX_BYTES / 4];
  const auto vrc = hn::Set(d, rc), vrs = hn::Set(d, rs);
  const auto cx = hn::Set(d, 70 << 20), cy = hn::Set(d, 60 << 20);
  const auto zero = hn::Zero(d), lastX = hn::Set(d, 35583), lastY = hn::Set(d, 30463);
  const auto low = hn::Set(d, 255), one = hn::Set(d, 256), half = hn::Set(d, 32768);
  const auto step = hn::Set(d, n);
  for (int y = 0; y < kOutHeight; ++y) {
    // The plain loop's sums of coefficients, as products: no product or sum leaves 32 bits.
    const auto v = hn::Set(d, y - 60);
    const auto u0 = hn::Sub(hn::Iota(d, 0), hn::Set(d, 70));
    auto columnSum = hn::Add(hn::Add(hn::Mul(u0, vrc), hn::Mul(v, vrs)), cx);
    auto rowSum = hn::Add(hn::Sub(hn::Mul(v, vrc), hn::Mul(u0, vrs)), cy);
    const auto columnStep = hn::Mul(step, vrc), rowStep = hn::Mul(step, vrs);
    for (int x = 0; x < kOutWidth; x += n) {
      const auto sx = hn::ShiftRight<12>(columnSum), sy = hn::ShiftRight<12>(rowSum);
      columnSum = hn::Add(columnSum, columnStep);
      rowSum = hn::Sub(rowSum, rowStep);
      const auto off = hn::Or(hn::Or(hn::Lt(sx, zero), hn::Gt(sx, lastX)),
                              hn::Or(hn::Lt(sy, zero), hn::Gt(sy, lastY)));
      // Byte offsets of the neighbourhoods, 4 x (140 row + column); lanes off the plane read
      // pixel 0 and are cleared.
      const auto row = hn::ShiftRight<8>(sy);
      const auto pixel = hn::Add(hn::Add(hn::ShiftLeft<7>(row), hn::ShiftLeft<3>(row)),
                                 hn::Add(hn::ShiftLeft<2>(row), hn::ShiftRight<8>(sx)));
      const auto at = hn::ShiftLeft<2>(hn::IfThenZeroElse(off, pixel));
      const auto fx = hn::And(sx, low), fy = hn::And(sy, low);
      const auto gx = hn::Sub(one, fx), gy = hn::Sub(one, fy);
      // p x (256 - fx) x (256 - fy) and the others as p times one weight: the same integers.
      const auto w00 = hn::Mul(gx, gy), w01 = hn::Mul(fx, gy);
      const auto w10 = hn::Mul(gx, fy), w11 = hn::Mul(fx, fy);
      HWY_ALIGN std::int32_t offsets[HWY_MAX_BYTES / 4];
      hn::Store(at, d, offsets);
      const auto sample = [&](const std::uint8_t* quads) {
        // Lane by lane: faster than the processor's gather here.
        HWY_ALIGN std::int32_t fetched[HWY_MAX_BYTES / 4];
        for (int i = 0; i < n; ++i) std::memcpy(&fetched[i], quads + offsets[i], 4);
        const auto q = hn::Load(d, fetched);
        const auto p00 = hn::And(q, low), p01 = hn::And(hn::ShiftRight<8>(q), low);
        const auto p10 = hn::And(hn::ShiftRight<16>(q), low), p11 = hn::And(hn::ShiftRight<24>(q), low);
        const auto sum = hn::Add(hn::Add(hn::Mul(p00, w00), hn::Mul(p01, w01)),
                                 hn::Add(hn::Mul(p10, w10), hn::Mul(p11, w11)));
        return hn::IfThenZeroElse(off, hn::ShiftRight<16>(hn::Add(sum, half)));
      };
      hn::Store(sample(scratchImage), d, rowImage + x);
      hn::Store(sample(scratchMask), d, rowMask + x);
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

void RotatePlanesSimd(std::uint8_t* image, std::uint8_t* mask, std::int32_t rc, std::int32_t rs,
                      std::uint8_t* scratchImage, std::uint8_t* scratchMask) {
  HWY_DYNAMIC_DISPATCH(RotatePlanes)(image, mask, rc, rs, scratchImage, scratchMask);
}

}  // namespace veltrum
#endif
