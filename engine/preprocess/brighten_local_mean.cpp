// Each inner-mask pixel becomes its brightened 7 x 7 mean; places of high local variance turn
// white.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/integral_plane.h"
#include "preprocess/preprocess_image.h"
#include "preprocess/preprocess_steps.h"
#include "tables/lookup_tables.h"

namespace veltrum {

static_assert(4 * kIntegralEntries == kIntegralScratchBytes);

int BrightenLocalMean(std::uint8_t* image, const std::uint8_t* mask, std::uint8_t* scratch, int top,
                      int bottom) {
  constexpr int kW = kFrameWidth;
  auto countBytes = AllocArray<std::uint32_t>(kIntegralEntries);
  auto valueBytes = AllocArray<std::uint32_t>(kIntegralEntries);
  if (!countBytes || !valueBytes) return kFailed;
  IntegralPlane count(reinterpret_cast<std::uint8_t*>(countBytes.get()));
  IntegralPlane value(reinterpret_cast<std::uint8_t*>(valueBytes.get()));
  IntegralPlane square(scratch);
  count.Build(mask, image, IntegralOf::kCount, top, bottom);
  value.Build(mask, image, IntegralOf::kValue, top, bottom);
  square.Build(mask, image, IntegralOf::kSquare, top, bottom);

  std::memset(image, 255, kFramePixels);
  const LookupTables& t = Tables();
  for (int y = std::max(top, 0); y <= std::min(bottom, kFrameHeight - 1); ++y) {
    const RowWindow rows = t.WindowRows3[y];
    for (int x = 0; x < kW; ++x) {
      if (mask[y * kW + x] == 0) continue;
      const RowWindow cols = t.WindowCols3[x];
      const std::uint32_t n = count.WindowSum(rows.low, rows.high, cols.low, cols.high);
      const float reciprocal = t.ReciprocalTable[n];
      const float sum =
          static_cast<float>(value.WindowSum(rows.low, rows.high, cols.low, cols.high));
      const float squares =
          static_cast<float>(square.WindowSum(rows.low, rows.high, cols.low, cols.high));
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
