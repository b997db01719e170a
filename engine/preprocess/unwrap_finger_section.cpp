// Resamples each column's cross-section through the cylinder table so that the flanks, which
// the projection compresses, are spread out again. Everything outside the finger becomes 255.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"
#include "tables/cylinder_table.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kH = kFrameHeight;

// Source offset from the middle, in 1/4096 rows, of output offset i for half width h.
int SourceOffset(int i, int h) {
  const int t = (i << 18) / h;
  const int j = t >> 8, f8 = t & 255;
  const int step = ((CylinderTable[j + 1] - CylinderTable[j]) * f8) >> 8;
  return (CylinderTable[j] + step) * h;
}

std::uint8_t Blend(const std::uint8_t* image, int near, int far, int weight) {
  return static_cast<std::uint8_t>((image[near] * (4096 - weight) + image[far] * weight + 2048) >>
                                   12);
}

}  // namespace

int UnwrapFingerSection(const std::int16_t* lower, int lowerVaries, int upperVaries,
                        const std::int16_t* upper, std::uint8_t* image, std::uint8_t* mask) {
  auto out = AllocArray<std::uint8_t>(kFramePixels);
  if (!out) return kOutOfMemory;
  std::memset(out.get(), 255, kFramePixels);

  for (int x = 5; x < kW - 5; ++x) {
    const int m = (upper[x] + lower[x]) / 2;
    int h = m - upper[x];
    if (upper[x] + 2 * h < lower[x]) h = lower[x] - m;
    // Only a column with both edges in order is resampled; any other keeps just its middle pixel.
    const bool finger = upper[x] > 0 && upper[x] <= lower[x] && lower[x] < kH;
    if (m < 0 || m >= kH) continue;
    out[m * kW + x] = image[m * kW + x];
    if (!finger || h <= 0) continue;
    const int down = std::min((1190 - 40 * lowerVaries) * h / 1024, kH - m);
    const int up = std::min((1190 - 40 * upperVaries) * h / 1024, m + 1);
    for (int i = 0; i < std::max(down, up); ++i) {
      const int e = SourceOffset(i, h);
      const int a = e >> 12, b = e & 4095;
      if (i < down) {
        out[(m + i) * kW + x] = Blend(image, (m + a) * kW + x, (m + a + 1) * kW + x, b);
        mask[(m + i) * kW + x] = 1;
      }
      if (i < up) {
        out[(m - i) * kW + x] = Blend(image, (m - a) * kW + x, (m - a - 1) * kW + x, b);
        mask[(m - i) * kW + x] = 1;
      }
    }
  }
  std::memcpy(image, out.get(), kFramePixels);
  return kOk;
}

}  // namespace veltrum
