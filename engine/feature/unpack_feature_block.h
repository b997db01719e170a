#pragma once

#include "feature/feature_block.h"

namespace veltrum {

// Expands `rows` packed code rows (330 for a block, 98 for sample data); with `rebuildMaps`
// also recomputes both coverage maps (grid form for 330 rows, else sample form). 0 or -1.
int UnpackFeatureBlock(FeatureBlock& block, int rows, bool rebuildMaps);

}  // namespace veltrum
