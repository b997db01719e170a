#include "search/search_stages.h"

#include "model/vein_model.h"

namespace veltrum {

std::int16_t CoarseScreenValue(const std::int8_t* probeCoarse, const std::int8_t* modelCoarse) {
  std::int32_t d = 0;
  for (int k = 0; k < kCoarseEntries; ++k) d += probeCoarse[k] * modelCoarse[k];
  return CoarseLevel(d);
}

std::int16_t CoarseLevel(std::int32_t d) {
  std::int32_t v = d + 65536;
  if (v < 0) v = 0;
  v >>= 2;
  if (v > kCoarseLevels - 1) v = kCoarseLevels - 1;
  return static_cast<std::int16_t>(v);
}

int KeepThreshold(const std::int32_t* histogram, int levels, std::size_t keep) {
  std::size_t running = 0;
  for (int v = levels - 1; v > 0; --v) {
    running += static_cast<std::size_t>(histogram[v]);
    if (running > keep) return v;
  }
  return 0;
}

}  // namespace veltrum
