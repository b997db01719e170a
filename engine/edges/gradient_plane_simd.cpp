// The gradient plane in vectors. The root mapping looks each byte up in sixteen 16-entry slices
// of the table (one byte shuffle per slice, kept where the high nibble names the slice); the
// gradient works in 16-bit lanes, where H reaches at most 1020.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "edges/gradient_plane_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include <algorithm>

#include "core/image_ref.h"
#include "edges/edge_profiles.h"
#include "tables/lookup_tables.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void MapRoots(const std::uint8_t* image, const std::uint8_t* root, std::uint8_t* mapped) {
  int i = 0;
#if HWY_TARGET != HWY_SCALAR  // single lanes have no 16-byte shuffle
  const hn::ScalableTag<std::uint8_t> d;
  const int n = static_cast<int>(hn::Lanes(d));
  using V = hn::Vec<decltype(d)>;
  V slices[16];
  for (int k = 0; k < 16; ++k) slices[k] = hn::LoadDup128(d, root + 16 * k);
  const auto low = hn::Set(d, 15);
  for (; i + n <= kFramePixels; i += n) {
    const auto v = hn::LoadU(d, image + i);
    const auto index = hn::And(v, low);
    const auto slice = hn::ShiftRight<4>(v);
    auto out = hn::TableLookupBytes(slices[0], index);
    for (int k = 1; k < 16; ++k) {
      out = hn::IfThenElse(hn::Eq(slice, hn::Set(d, static_cast<std::uint8_t>(k))),
                           hn::TableLookupBytes(slices[k], index), out);
    }
    hn::StoreU(out, d, mapped + i);
  }
#endif
  for (; i < kFramePixels; ++i) mapped[i] = root[image[i]];
}

// Columns 1..318 of each inner row; the last vector of a row ends at column 318 and repeats
// columns it already wrote.
void GradientRows(const std::uint8_t* mapped, std::uint8_t* gradient) {
  const hn::ScalableTag<std::int16_t> d;
  const hn::Rebind<std::uint8_t, decltype(d)> d8;
  const int n = static_cast<int>(hn::Lanes(d));
  constexpr int kW = kFrameWidth;
  const auto h = [&](const std::uint8_t* p) {
    const auto left = hn::PromoteTo(d, hn::LoadU(d8, p - 1));
    const auto centre = hn::PromoteTo(d, hn::LoadU(d8, p));
    const auto right = hn::PromoteTo(d, hn::LoadU(d8, p + 1));
    return hn::Add(hn::Add(left, hn::Add(centre, centre)), right);
  };
  for (int r = 1; r < kFrameHeight - 1; ++r) {
    const std::uint8_t* above = mapped + (r - 1) * kW;
    const std::uint8_t* below = mapped + (r + 1) * kW;
    std::uint8_t* out = gradient + r * kW;
    for (int c = 1;; c += n) {
      c = std::min(c, kW - 1 - n);
      const auto g = hn::ShiftRight<2>(hn::Abs(hn::Sub(h(above + c), h(below + c))));
      hn::StoreU(hn::DemoteTo(d8, g), d8, out + c);
      if (c == kW - 1 - n) break;
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(MapRoots);
HWY_EXPORT(GradientRows);

void BuildGradientPlane(const std::uint8_t* image, std::uint8_t* mapped, std::uint8_t* gradient) {
  HWY_DYNAMIC_DISPATCH(MapRoots)(image, Tables().ScaledRootTable.data(), mapped);
  constexpr int kW = kFrameWidth;
  std::fill(gradient, gradient + kW, std::uint8_t{0});
  std::fill(gradient + (kFrameHeight - 1) * kW, gradient + kFramePixels, std::uint8_t{0});
  for (int r = 1; r < kFrameHeight - 1; ++r) gradient[r * kW] = gradient[r * kW + kW - 1] = 0;
  HWY_DYNAMIC_DISPATCH(GradientRows)(mapped, gradient);
}

}  // namespace veltrum
#endif
