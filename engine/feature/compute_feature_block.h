#pragma once

#include <cstdint>

#include "core/image_ref.h"
#include "feature/feature_block.h"

namespace veltrum {

// One block from the 140 x 120 enhanced image and finger mask: nibbles, packed codes and edge
// pairs (coverage still zero), and its sample block. `work` is a 36960-entry table left valid
// for RefineFeature. `responses`, when given, receives the filter responses (36960 values);
// otherwise a table is allocated for the call. 0, kOutOfMemory or -1.
int ComputeFeatureBlock(const ImageRef& image, FeatureBlock& block, FeatureBlock& sample,
                        const std::uint8_t* mask, std::int32_t* work,
                        std::int32_t* responses = nullptr);

}  // namespace veltrum
