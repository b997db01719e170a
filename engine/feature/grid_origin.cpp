#include "feature/grid_origin.h"

namespace veltrum {

GridParams ComputeGridOrigin(const std::uint8_t* edgePairs) {
  int upperSum = 0, lowerSum = 0, count = 0;
  // Pairs 60-69 take no part; pairs without an upper or a lower edge neither.
  for (int p = 0; p < 60; ++p) {
    const int upper = edgePairs[2 * p], lower = edgePairs[2 * p + 1];
    if (upper == 120 || lower == 0) continue;
    upperSum += upper;
    lowerSum += lower;
    ++count;
  }
  return GridFromEdgeSums(upperSum, lowerSum, count);
}

GridParams GridFromEdgeSums(int upperSum, int lowerSum, int count) {
  if (count == 0) count = 1;
  const int u = upperSum / count, l = lowerSum / count;
  GridParams grid;
  grid.origin = u + (l - u - 69) / 2;
  return grid;
}

}  // namespace veltrum
