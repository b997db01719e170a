#pragma once
// Weighted merge of an enrolment block into the running merge of the others.

#include <cstdint>

#include "feature/feature_block.h"

namespace veltrum {

// Per cell of the merge so far: the 16 averaged values and the two summed weights.
struct MergeRunning {
  std::int32_t values[kGridCells][16];
  std::int32_t weight15[kGridCells];
  std::int32_t weight27[kGridCells];
};

// Starts a merge from one block: its nibble values and coverages.
void StartMerge(MergeRunning& running, const FeatureBlock& reference);

// Merges `other`, found at (shiftRow, shiftCol) against `reference`, with `weight` tenths of its
// coverage into `result` (cell vectors, packed codes, coverage maps) and `resultTable` (the
// averaged normalised responses). The merged grid lies halfway along the shift. Reads
// `referenceTable` and `running` at reference cells; `running` then holds the merge.
void MergeEnrollFeatures(FeatureBlock& result, const FeatureBlock& reference,
                         const FeatureBlock& other, const std::int32_t* referenceTable,
                         const std::int32_t* otherTable, MergeRunning& running,
                         std::int8_t shiftRow, std::int8_t shiftCol, int weight,
                         std::int32_t* resultTable);

}  // namespace veltrum
