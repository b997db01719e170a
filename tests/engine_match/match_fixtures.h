#pragma once
// Fixtures of the matching tests: random blocks with templates cut from them at a known shift,
// and features and templates of synthetic fingers.

#include <cstdint>
#include <vector>

#include "feature/feature_block.h"
#include "model/vein_model.h"

namespace matchtest {

// Seeded random cell vectors and codes (104 bits a row), both coverage maps full.
veltrum::FeatureBlock RandomBlock(std::uint64_t seed);

// A template whose sample cells are the block's cells (row + rs, column + cs), full weights;
// samples that fall off the grid get weight 0.
veltrum::VeinModel ModelCutFrom(const veltrum::FeatureBlock& block, int rs, int cs);

// Capture `capture` of synthetic finger `seed`, extracted (engine initialised on first use).
const veltrum::VeinFeature& FingerFeature(std::uint64_t seed, int capture);
// Template of synthetic finger `seed` enrolled from its captures 0, 1 and 2.
const veltrum::VeinModel& FingerModel(std::uint64_t seed);
std::vector<std::uint8_t> FingerCapture(std::uint64_t seed, int capture);

}  // namespace matchtest
