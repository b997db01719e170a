#pragma once

#include <cstdint>

namespace veltrum {

// Mean first and last finger row of each column pair of the 140 x 120 mask into 140 bytes;
// (120, 0) for a pair without finger.
void FindEdgePairs(std::uint8_t* edgePairs, const std::uint8_t* mask);

}  // namespace veltrum
