// Each inner-mask pixel becomes its brightened 7 x 7 mean; places of high local variance turn
// white.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/integral_image.h"
#include "core/status.h"
#include "preprocess/preprocess_image.h"
#include "preprocess/preprocess_steps.h"
#include "tables/lookup_tables.h"

namespace veltrum {

namespace {

constexpr std::size_t kEntries = IntegralImage::Entries(kFrameWidth, kFrameHeight);
static_assert(4 * kEntries == kIntegralScratchBytes);

}  // namespace

int BrightenLocalMean(std::uint8_t* image, const std::uint8_t* mask, std::uint8_t* scratch, int top,
                      int bottom) {
  constexpr int kW = kFrameWidth;
  auto countSums = AllocArray<std::uint32_t>(kEntries);
  auto valueSums = AllocArray<std::uint32_t>(kEntries);
  if (!countSums || !valueSums) return kFailed;
  IntegralImage count(countSums.get(), kW, kFrameHeight);
  IntegralImage value(valueSums.get(), kW, kFrameHeight);
  IntegralImage square(scratch, kW, kFrameHeight);
  const auto in = [&](int r, int c) { return mask[r * kW + c] != 0; };
  count.Build(top, bottom, [&](int r, int c) { return in(r, c) ? 1u : 0u; });
  value.Build(top, bottom, [&](int r, int c) { return in(r, c) ? image[r * kW + c] : 0u; });
  square.Build(top, bottom, [&](int r, int c) {
    const std::uint32_t v = image[r * kW + c];
    return in(r, c) ? v * v : 0u;
  });

  std::memset(image, 255, kFramePixels);
  const LookupTables& t = Tables();
  for (int y = std::max(top, 0); y <= std::min(bottom, kFrameHeight - 1); ++y) {
    const RowWindow rows = t.WindowRows3[y];
    for (int x = 0; x < kW; ++x) {
      if (mask[y * kW + x] == 0) continue;
      const RowWindow cols = t.WindowCols3[x];
      const std::uint32_t n = count.ClampedWindowSum(rows.low, rows.high, cols.low, cols.high);
      const float reciprocal = t.ReciprocalTable[n];
      const float sum =
          static_cast<float>(value.ClampedWindowSum(rows.low, rows.high, cols.low, cols.high));
      const float squares =
          static_cast<float>(square.ClampedWindowSum(rows.low, rows.high, cols.low, cols.high));
      const float mean = sum * reciprocal;
      const float variance = squares * reciprocal - mean * mean;
      if (0.02f * variance < 100.0f) {
        const double brightened = std::min(255.0, static_cast<int>(mean) * 2.1);
        image[y * kW + x] = static_cast<std::uint8_t>(brightened);
      }
    }
  }
  return kOk;
}

}  // namespace veltrum
