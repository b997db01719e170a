#pragma once

#include "core/image_ref.h"
#include "feature/feature_block.h"

namespace veltrum {

// The three tilted blocks of one 320 x 240 image, codes still packed. Input pixels are only
// read. 0, kPreprocessFailed, kOutOfMemory or -1.
int ExtractFeatureSet(const ImageRef& input, VeinFeature& feature);

}  // namespace veltrum
