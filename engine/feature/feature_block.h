#pragma once
// One feature block (8968 bytes) and the three-block match feature (26904 bytes).

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/sample_cells.h"

namespace veltrum {

inline constexpr int kCellCodeWords = 4;

struct FeatureBlock {
  // Per cell, 16 four-bit values, the first in the high nibble.
  std::uint8_t cellVectors[kGridCells][8];
  // Per cell, code bits 0-95 in words 0-2 (bit 0 = word 0 bit 31), bits 96-103 in word 3's low
  // byte. While packed, the same area holds the packed code stream and zeros.
  std::uint32_t codeRows[kGridCells][kCellCodeWords];
  std::uint8_t edgePairs[70][2];
  std::uint8_t coverage15[kGridCells];
  std::uint8_t coverage27[kGridCells];
  std::int32_t gridOrigin;    // first block only, else 0
  std::int32_t gridFirstCol;  // 6 in the first block, else 0
  std::int8_t coarse[240];    // first block only, else 0
};

static_assert(sizeof(FeatureBlock) == 8968);
static_assert(offsetof(FeatureBlock, cellVectors) == 0);
static_assert(offsetof(FeatureBlock, codeRows) == 2640);
static_assert(offsetof(FeatureBlock, edgePairs) == 7920);
static_assert(offsetof(FeatureBlock, coverage15) == 8060);
static_assert(offsetof(FeatureBlock, coverage27) == 8390);
static_assert(offsetof(FeatureBlock, gridOrigin) == 8720);
static_assert(offsetof(FeatureBlock, gridFirstCol) == 8724);
static_assert(offsetof(FeatureBlock, coarse) == 8728);

// The record ComputeFeatureBlock fills beside each block for enrolment, in the block layout:
// cellVectors[0..143] the A-samples (slot i x 18 + j), the packed B-sample codes from
// codeRows, a copy of the edge pairs; the rest zero.
using SampleBlock = FeatureBlock;

// Blocks for the tilts 0.0, 0.03 and -0.06, in that order.
struct VeinFeature {
  FeatureBlock blocks[3];
};
static_assert(sizeof(VeinFeature) == 26904);

inline constexpr float kFeatureTilts[3] = {0.0f, 0.03f, -0.06f};

// Callers' feature bytes carry no alignment promise: features are read by copy.
inline VeinFeature LoadFeature(const unsigned char* bytes) {
  VeinFeature feature;
  std::memcpy(&feature, bytes, sizeof feature);
  return feature;
}

}  // namespace veltrum
