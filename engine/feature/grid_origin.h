#pragma once
// Where the cell grid of a block lies on the 140 x 120 enhanced image.

#include <cstdint>

#include "model/vein_model.h"  // kEdgePairs: (upper, lower) bytes, pair p = columns 2p and 2p + 1

namespace veltrum {

struct GridParams {
  int origin;        // row of grid row 0
  int firstCol = 6;  // column of grid column 0
  int rowStep = 5;
  int colStep = 6;
};

// Centres the 70-row grid on the finger band of the first 60 edge pairs (140 bytes).
GridParams ComputeGridOrigin(const std::uint8_t* edgePairs);
// The same from the sums of the upper and lower rows of the `count` pairs that have both edges.
GridParams GridFromEdgeSums(int upperSum, int lowerSum, int count);

}  // namespace veltrum
