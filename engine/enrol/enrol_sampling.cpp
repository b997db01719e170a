#include "enrol/enrol_sampling.h"

#include <cstring>

#include "feature/cell_codes.h"
#include "feature/code_stream.h"
#include "feature/coverage.h"
#include "feature/grid_origin.h"
#include "feature/refine_feature.h"
#include "feature/unpack_feature_block.h"

namespace veltrum {

int CompleteSingleSamples(FeatureBlock& sampled, FeatureBlock& block0, const std::int32_t* table0) {
  const std::uint8_t* pairs = &sampled.edgePairs[0][0];
  const GridParams grid = ComputeGridOrigin(pairs);
  if (ComputeCoverageSamples(sampled.coverage15, pairs, kCoverageRadiusA, grid) != 0 ||
      ComputeCoverageSamples(sampled.coverage27, pairs, kCoverageRadiusB, grid) != 0 ||
      RefineFeature(sampled, block0.coverage27, table0, true) != 0) {
    return -1;
  }
  return UnpackFeatureBlock(sampled, kBSamples, false);
}

int SampleMergedBlock(FeatureBlock& sampled, FeatureBlock& merged, const std::int32_t* mergedTable) {
  std::memset(&sampled, 0, sizeof sampled);
  if (RefineFeature(sampled, merged.coverage27, mergedTable, true) != 0) return -1;
  for (int k = 0; k < kASamples; ++k) {
    const int cell = SampleCellA(k).index();
    std::memcpy(sampled.cellVectors[k], merged.cellVectors[cell], 8);
    sampled.coverage15[k] = merged.coverage15[cell];
  }
  CodeStream codes{&sampled.codeRows[0][0]};
  for (int k = 0; k < kBSamples; ++k) {
    const int cell = SampleCellB(k).index();
    sampled.coverage27[k] = merged.coverage27[cell];
    AppendCellCode(codes, cell, mergedTable);
  }
  FinishCodeStream(codes);
  return UnpackFeatureBlock(sampled, kBSamples, false);
}

void FillModel(VeinModel& model, const FeatureBlock& sampled, const FeatureBlock& gridSource) {
  std::memcpy(model.edgePairs, gridSource.edgePairs, sizeof model.edgePairs);
  std::memcpy(model.cellVectors, sampled.cellVectors, sizeof model.cellVectors);
  std::memcpy(model.codeRows, sampled.codeRows, sizeof model.codeRows);
  const GridParams grid = ComputeGridOrigin(&gridSource.edgePairs[0][0]);
  model.gridOrigin = grid.origin;
  model.gridStep = grid.firstCol;
  std::memcpy(model.cellWeights, sampled.coverage15, sizeof model.cellWeights);
  std::memcpy(model.codeWeights, sampled.coverage27, sizeof model.codeWeights);
  std::memcpy(model.coarse, sampled.coarse, sizeof model.coarse);
}

}  // namespace veltrum
