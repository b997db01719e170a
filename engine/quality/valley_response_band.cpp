#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/integral_image.h"
#include "core/status.h"
#include "preprocess/valley_depth.h"
#include "quality/quality_measures.h"

namespace veltrum {

int ValleyResponseBand(std::uint8_t* band, int bandHeight, const std::uint8_t* mask, int top,
                       int bottom) {
  constexpr int kReach = 8;
  constexpr std::uint32_t kWindowPixels = (2 * kReach + 1) * (2 * kReach + 1);
  const std::size_t pixels = static_cast<std::size_t>(kBandWidth) * bandHeight;
  auto out = AllocZeroedArray<std::uint8_t>(pixels);
  if (!out) return kOutOfMemory;
  auto sums = AllocArray<std::uint32_t>(IntegralImage::Entries(kBandWidth, bandHeight));
  if (!sums) return kOutOfMemory;
  IntegralImage inside(sums.get(), kBandWidth, bandHeight);
  inside.Build(top, bottom, [&](int r, int c) { return mask[r * kBandWidth + c]; });
  const LookupTables& t = Tables();
  // Whatever rows the caller names, every window stays inside the band.
  const int first = std::max(top, 0) + kReach;
  const int last = std::min(bottom, bandHeight - 1) - kReach;
  for (int r = first; r <= last; ++r) {
    for (int c = kReach; c < kBandWidth - kReach; ++c) {
      if (inside.WindowSum(r - kReach, r + kReach, c - kReach, c + kReach) != kWindowPixels) {
        continue;
      }
      out[r * kBandWidth + c] =
          static_cast<std::uint8_t>(std::min(ValleyDepth(band, r, c, t), 255.0f));
    }
  }
  std::memcpy(band, out.get(), pixels);
  return kOk;
}

}  // namespace veltrum
