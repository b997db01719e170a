#include "feature/unpack_feature_block.h"

#include <algorithm>

#include "feature/code_stream.h"
#include "feature/coverage.h"
#include "feature/grid_origin.h"

namespace veltrum {

int UnpackFeatureBlock(FeatureBlock& block, int rows, bool rebuildMaps) {
  if (rows < 0 || rows > kGridCells) return -1;
  if (ExpandCodeRows(&block.codeRows[0][0], rows) != 0) return -1;
  // The whole code area ends cleared beyond the expanded rows.
  std::uint32_t* codes = &block.codeRows[0][0];
  std::fill(codes + rows * kCellCodeWords, codes + kGridCells * kCellCodeWords, 0u);
  if (!rebuildMaps) return 0;
  const std::uint8_t* pairs = &block.edgePairs[0][0];
  const GridParams grid = ComputeGridOrigin(pairs);
  const auto coverage = rows == kGridCells ? ComputeCoverageGrid : ComputeCoverageSamples;
  if (coverage(block.coverage15, pairs, kCoverageRadiusA, grid) != 0 ||
      coverage(block.coverage27, pairs, kCoverageRadiusB, grid) != 0) {
    return -1;
  }
  return 0;
}

}  // namespace veltrum
