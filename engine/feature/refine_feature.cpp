#include "feature/refine_feature.h"

#include <cmath>

#include "feature/coverage.h"
#include "feature/filter_bank.h"
#include "feature/grid_origin.h"
#include "tables/refine_weights.h"

namespace veltrum {
namespace {

struct Window {
  int row0, col0;  // 9 rows x 10 columns of cells
};
constexpr Window kWindows[kCoarseWindows] = {{0, 1}, {0, 11}, {6, 1}, {6, 11}};
constexpr int kFirstInput = 3 * kOrientations;  // scales 3-6 of a cell's 112 values

void CoarseValues(const std::uint8_t* coverage27, const std::int32_t* work, int window,
                  std::int8_t* out) {
  float acc[kRefineInputs];
  CoarseWindowSums(coverage27, work, window, acc);
  float projected[kRefineOutputs];
  float squares = 0.0f;
  for (int j = 0; j < kRefineOutputs; ++j) {
    float sum = 0.0f;
    for (int k = 0; k < kRefineInputs; ++k) sum += RefineWeights[j * kRefineInputs + k] * acc[k];
    projected[j] = sum;
    squares += sum * sum;
  }
  float n = std::sqrt(squares);
  if (n < 0.0001f) n = 0.0001f;
  const float inverse = 1.0f / n;
  for (int j = 0; j < kRefineOutputs; ++j) {
    out[j] = static_cast<std::int8_t>(std::floor(projected[j] * 126.0f * inverse + 0.5f));
  }
}

}  // namespace

void CoarseWindowSums(const std::uint8_t* coverage27, const std::int32_t* work, int window,
                      float* acc) {
  const Window& win = kWindows[window];
  for (int k = 0; k < kRefineInputs; ++k) acc[k] = 0.0f;
  for (int r = win.row0; r < win.row0 + 9; ++r) {
    for (int c = win.col0; c < win.col0 + 10; ++c) {
      const int cell = r * kGridCols + c;
      const float weight = static_cast<float>(coverage27[cell]);
      const std::int32_t* w = work + cell * kCellResponses + kFirstInput;
      for (int k = 0; k < kRefineInputs; ++k) acc[k] += weight * static_cast<float>(w[k]);
    }
  }
}

int RefineFeature(FeatureBlock& block, std::uint8_t* coverage27, const std::int32_t* work,
                  bool mapsReady) {
  if (!mapsReady) {
    const GridParams grid = ComputeGridOrigin(&block.edgePairs[0][0]);
    block.gridOrigin = grid.origin;
    block.gridFirstCol = grid.firstCol;
    if (ComputeCoverageGrid(coverage27, &block.edgePairs[0][0], kCoverageRadiusB, grid) != 0) {
      return -1;
    }
  }
  for (int v = 0; v < kCoarseWindows; ++v) CoarseValues(coverage27, work, v, block.coarse + 60 * v);
  return 0;
}

}  // namespace veltrum
