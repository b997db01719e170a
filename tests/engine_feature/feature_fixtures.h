#pragma once
// Shared fixtures of the feature tests: synthetic fingers and code agreement between blocks.

#include <cstdint>
#include <vector>

#include "feature/feature_block.h"

namespace featuretest {

// A 140 x 120 finger that fills the frame as a preprocessed one does, shifted by `shiftX`
// pixels, with its finger mask.
struct Plane {
  std::vector<std::uint8_t> image, mask;
};
Plane PreprocessedFinger(std::uint64_t seed, double shiftX);

// Share of agreeing code bits over the cells both blocks see well (radius-27 coverage >= 128).
// Blocks must be unpacked.
double CodeAgreement(const veltrum::FeatureBlock& a, const veltrum::FeatureBlock& b);

}  // namespace featuretest
