#pragma once
// The four sums of one shift of a template against a probe block, and the score made of them.

#include <cstdint>

#include "feature/feature_block.h"
#include "match/prepared_match.h"
#include "model/vein_model.h"

namespace veltrum {

struct ShiftSums {
  std::int64_t dotSum = 0, dotWeight = 0;  // A-samples: weighted dot products, weights
  std::int64_t agreementSum = 0, agreementWeight = 0;  // B-samples: (g - 28) x w2, w2
};

// Sample by sample, as the rule reads: the tested reference of the prepared sums. Without
// `products` the dot sum stays 0 (only its weight counts).
ShiftSums SampleShiftSums(const VeinModel& model, const FeatureBlock& block, int rs, int cs,
                          bool products);

// The same sums from the prepared layouts, in the widest vectors the processor has.
ShiftSums PreparedShiftSums(const PreparedModel& model, const PreparedBlock& block, int rs, int cs,
                            bool products);

// The enrolment's sums between two blocks: every cell of `reference` against the cell (rs, cs)
// away in `other`; the agreement weight is the smaller coverage itself, not its square.
ShiftSums EnrolShiftSums(const PreparedCells& reference, const PreparedCells& other, int rs,
                         int cs);

}  // namespace veltrum
