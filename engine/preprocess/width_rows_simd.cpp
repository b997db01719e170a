// The same two products and one sum per pixel as the plain loop, lane by lane, so every result
// rounds alike; the conversion back truncates as the plain cast does.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "preprocess/width_rows_simd.cpp"
#include <hwy/foreach_target.h>  // must precede highway.h
#include <hwy/highway.h>

#include "core/image_ref.h"
#include "preprocess/width_rows.h"

HWY_BEFORE_NAMESPACE();
namespace veltrum {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// 320 is a whole number of vectors at every width.
void BlendRow(const std::uint8_t* above, const std::uint8_t* below, float w0, float w1,
              std::uint8_t* out) {
  const hn::ScalableTag<float> df;
  const hn::RebindToSigned<decltype(df)> di;
  const hn::Rebind<std::uint8_t, decltype(df)> d8;
  const int n = static_cast<int>(hn::Lanes(df));
  const auto v0 = hn::Set(df, w0), v1 = hn::Set(df, w1);
  const auto load = [&](const std::uint8_t* p) {
    return hn::ConvertTo(df, hn::PromoteTo(di, hn::LoadU(d8, p)));
  };
  for (int x = 0; x < kFrameWidth; x += n) {
    const auto v = hn::Add(hn::Mul(v0, load(above + x)), hn::Mul(v1, load(below + x)));
    hn::StoreU(hn::DemoteTo(d8, hn::ConvertTo(di, v)), d8, out + x);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace veltrum
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace veltrum {

HWY_EXPORT(BlendRow);

void BlendWidthRow(const std::uint8_t* above, const std::uint8_t* below, float w0, float w1,
                   std::uint8_t* out) {
  HWY_DYNAMIC_DISPATCH(BlendRow)(above, below, w0, w1, out);
}

}  // namespace veltrum
#endif
