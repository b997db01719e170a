#pragma once
// Where the cell grid of a block lies on the 140 x 120 enhanced image.

#include <cstdint>

namespace veltrum {

inline constexpr int kEdgePairs = 70;  // (upper, lower) bytes, pair p = columns 2p and 2p + 1

struct GridParams {
  int origin;        // row of grid row 0
  int firstCol = 6;  // column of grid column 0
  int rowStep = 5;
  int colStep = 6;
};

// Centres the 70-row grid on the finger band of the first 60 edge pairs (140 bytes).
GridParams ComputeGridOrigin(const std::uint8_t* edgePairs);

}  // namespace veltrum
