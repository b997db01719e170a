#pragma once
// The block's 240-byte coarse vector for 1:N pre-selection.

#include <cstdint>

#include "feature/feature_block.h"

namespace veltrum {

inline constexpr int kCoarseWindows = 4;

// The 64 coverage-weighted sums (scales 3-6 x 16 orientations of `work`) over the 90 cells of
// coarse window 0..3, the inputs of one 60-value part of the coarse vector.
void CoarseWindowSums(const std::uint8_t* coverage27, const std::int32_t* work, int window,
                      float* acc);

// `work` is this block's work table. Without `mapsReady` it first writes the grid origin and
// first column into the block and computes the radius-27 map into `coverage27`. 0 or -1.
int RefineFeature(FeatureBlock& block, std::uint8_t* coverage27, const std::int32_t* work,
                  bool mapsReady);

}  // namespace veltrum
