#include "feature/edge_pairs.h"

#include <cstring>

#include "core/image_ref.h"
#include "feature/grid_origin.h"

namespace veltrum {

void FindEdgePairs(std::uint8_t* edgePairs, const std::uint8_t* mask) {
  std::memset(edgePairs, 0, 2 * kEdgePairs);
  for (int p = 0; p < kEdgePairs; ++p) {
    int upperSum = 0, upperCount = 0, lowerSum = 0, lowerCount = 0;
    for (int x = 2 * p; x <= 2 * p + 1; ++x) {
      for (int y = 0; y < kOutHeight; ++y) {
        if (mask[y * kOutWidth + x] != 0) {
          upperSum += y;
          ++upperCount;
          break;
        }
      }
      // Row 0 never counts as a last row.
      for (int y = kOutHeight - 1; y >= 1; --y) {
        if (mask[y * kOutWidth + x] != 0) {
          lowerSum += y;
          ++lowerCount;
          break;
        }
      }
    }
    edgePairs[2 * p] = static_cast<std::uint8_t>(upperCount ? upperSum / upperCount : 120);
    edgePairs[2 * p + 1] = static_cast<std::uint8_t>(lowerCount ? lowerSum / lowerCount : 0);
  }
}

}  // namespace veltrum
