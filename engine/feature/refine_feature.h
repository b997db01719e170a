#pragma once
// The block's 240-byte coarse vector for 1:N pre-selection.

#include <cstdint>

#include "feature/feature_block.h"

namespace veltrum {

// `work` is this block's work table. Without `mapsReady` it first writes the grid origin and
// first column into the block and computes the radius-27 map into `coverage27`. 0 or -1.
int RefineFeature(FeatureBlock& block, std::uint8_t* coverage27, const std::int32_t* work,
                  bool mapsReady);

}  // namespace veltrum
