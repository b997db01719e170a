#pragma once

#include <cstddef>

#include "feature/feature_block.h"

namespace veltrum {

// The three-stage search of `count` templates (3352 bytes each, back to back) for the best
// match of `probe`: coarse screen, one-block match of the best 100, three-block match of the
// best 50 (ties admitted). The lowest index wins equal scores. 0, or -1 when the score arrays
// cannot be allocated.
int SearchModels(const unsigned char* models, std::size_t count, const VeinFeature& probe,
                 int* position, int* raw);

}  // namespace veltrum
