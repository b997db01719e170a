#pragma once
// Sixteen 4-bit magnitudes per cell from the odd orientations of scales 0 and 1.

#include <cstdint>

#include "feature/feature_block.h"

namespace veltrum {

// About 1024 x sqrt(s), from SqrtTable1024 after shifting s right by 2 bits at a time.
std::uint64_t TableRoot(std::uint64_t s);

// One cell's 8 nibble bytes from its 112 responses.
void CellNibbles(const std::int32_t* cellResponses, std::uint8_t* out);

// All 330 cell vectors of the block, and the 144 A-samples into the sample block.
void ComputeCellNibbles(FeatureBlock& block, FeatureBlock& sample, const std::int32_t* responses);

}  // namespace veltrum
