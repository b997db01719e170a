#include "feature/compute_feature_block.h"

#include <cstring>

#include "core/alloc.h"
#include "core/stage_observer.h"
#include "core/status.h"
#include "feature/cell_codes.h"
#include "feature/cell_nibbles.h"
#include "feature/edge_pairs.h"
#include "feature/filter_bank.h"
#include "feature/grid_origin.h"

namespace veltrum {

int ComputeFeatureBlock(const ImageRef& image, FeatureBlock& block, FeatureBlock& sample,
                        const std::uint8_t* mask, std::int32_t* work, std::int32_t* responses) {
  WorkArray<std::int32_t> own;
  if (responses == nullptr) {
    own = AllocArray<std::int32_t>(kResponseEntries);
    if (!own) return kOutOfMemory;
    responses = own.get();
  }
  std::memset(&block, 0, sizeof block);
  std::memset(&sample, 0, sizeof sample);
  FindEdgePairs(&block.edgePairs[0][0], mask);
  std::memcpy(sample.edgePairs, block.edgePairs, sizeof block.edgePairs);
  ObserveStage("edgePairs", "pairs", block.edgePairs, sizeof block.edgePairs);
  const GridParams grid = ComputeGridOrigin(&block.edgePairs[0][0]);
  if (const int status = FilterBankResponses(image, responses, grid); status != 0) return status;
  ObserveStage("filterBank", "responses", responses, kResponseEntries * sizeof(std::int32_t));
  ComputeCellNibbles(block, sample, responses);
  ObserveStage("cellNibbles", "vectors", block.cellVectors, sizeof block.cellVectors);
  PackCellCodes(&block.codeRows[0][0], &sample.codeRows[0][0], responses, work);
  ObserveStage("cellCodes", "packed", block.codeRows, sizeof block.codeRows);
  ObserveStage("cellCodes", "work", work, kResponseEntries * sizeof(std::int32_t));
  ObserveStage("featureBlock", "sample", &sample, sizeof sample);
  return kOk;
}

}  // namespace veltrum
