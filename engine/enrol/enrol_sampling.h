#pragma once
// The last steps of enrolment: the template's sample cells from one block, then the template.

#include <cstdint>

#include "feature/feature_block.h"
#include "model/vein_model.h"

namespace veltrum {

// One capture: completes the sample block that ComputeFeatureBlock wrote beside the tilt-0
// block (sampled coverages, coarse vector from `block0` and its normalised responses, expanded
// codes). 0 or -1.
int CompleteSingleSamples(FeatureBlock& sampled, FeatureBlock& block0, const std::int32_t* table0);

// Two or three captures: the sample cells of the merged block and its averaged responses. 0 or -1.
int SampleMergedBlock(FeatureBlock& sampled, FeatureBlock& merged, const std::int32_t* mergedTable);

// The template from a sample block; edge pairs and grid values from `gridSource`. The spare
// bytes are left as they were.
void FillModel(VeinModel& model, const FeatureBlock& sampled, const FeatureBlock& gridSource);

}  // namespace veltrum
