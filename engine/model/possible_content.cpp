#include "model/possible_content.h"

#include <cstddef>
#include <cstring>

#include "feature/coverage.h"
#include "feature/grid_origin.h"
#include "model/cell_vector.h"
#include "model/possible_content_simd.h"
#include "model/sample_cells.h"

namespace veltrum {
namespace {

constexpr int kCoarseVectorLength = 60;

// The stored form keeps a grid word's low byte in all four bytes; enrolment writes the value.
bool GridWordIs(std::int32_t word, int value) {
  const auto low = static_cast<std::uint32_t>(value) & 0xFFu;
  return word == value || static_cast<std::uint32_t>(word) == low * 0x01010101u;
}

// Nonzero when a code row is impossible; no branches, so that a loop over rows vectorises.
inline std::uint32_t CodeRowFaults(const std::uint32_t* row) {
  std::uint32_t bad = row[3] >> 8;
  // Orientation groups: the two halves of words 0 and 1.
  for (int w = 0; w < 2; ++w) {
    bad |= static_cast<std::uint32_t>((row[w] >> 16) == 0xFFFFu) |
           static_cast<std::uint32_t>((row[w] & 0xFFFFu) == 0xFFFFu);
  }
  return bad;
}

template <int Rows>
bool CodeRowsPossible(const std::uint32_t (&rows)[Rows][4]) {
  std::uint32_t bad = 0;
  for (const auto& row : rows) bad |= CodeRowFaults(row);
  return bad == 0;
}

template <int Cells, int Rows>
bool AllPossible(const std::uint8_t (&vectors)[Cells][8], const std::uint32_t (&rows)[Rows][4],
                 const CellBounds& bounds) {
  if (!CellVectorsPossibleSimd(&vectors[0][0], Cells, bounds)) return false;
  return CodeRowsPossible(rows);
}

// The sampled maps of a template against those its edge pairs give.
bool SampledCoverageMatches(const unsigned char* bytes) {
  std::uint8_t pairs[kEdgePairs * 2];
  std::memcpy(pairs, bytes + offsetof(VeinModel, edgePairs), sizeof pairs);
  const GridParams grid = ComputeGridOrigin(pairs);
  std::uint8_t cells[kGridCells];
  CoverageGridOnStack(cells, pairs, kCoverageRadiusA, grid);
  const unsigned char* weights = bytes + offsetof(VeinModel, cellWeights);
  for (int k = 0; k < kASamples; ++k) {
    if (weights[k] != cells[SampleCellA(k).index()]) return false;
  }
  CoverageGridOnStack(cells, pairs, kCoverageRadiusB, grid);
  weights = bytes + offsetof(VeinModel, codeWeights);
  for (int k = 0; k < kBSamples; ++k) {
    if (weights[k] != cells[SampleCellB(k).index()]) return false;
  }
  return true;
}

bool AllZero(const std::int8_t* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (values[i] != 0) return false;
  }
  return true;
}

}  // namespace

bool CellVectorPossible(const std::uint8_t* vector, const CellBounds& bounds) {
  int squares = 0, sum = 0, fifteens = 0;
  for (int i = 0; i < 8; ++i) {
    for (const int value : {vector[i] >> 4, vector[i] & 15}) {
      squares += value * value;
      sum += value;
      fifteens += value == 15;
    }
  }
  if (squares == 0) return true;
  if (squares > bounds.maxSquares) return false;
  // The sum of (value + 1)^2 over the 16 values.
  return fifteens > 0 || squares + 2 * sum + 16 >= bounds.minLength;
}

CellBounds TemplateCellBounds(const unsigned char* bytes) {
  return SampledCoverageMatches(bytes) ? kCaptureCells : kMergedCells;
}

bool BlockCoveragePossible(const FeatureBlock& block) {
  const GridParams grid = ComputeGridOrigin(&block.edgePairs[0][0]);
  std::uint8_t cells[kGridCells];
  CoverageGridOnStack(cells, &block.edgePairs[0][0], kCoverageRadiusA, grid);
  if (std::memcmp(cells, block.coverage15, sizeof cells) != 0) return false;
  CoverageGridOnStack(cells, &block.edgePairs[0][0], kCoverageRadiusB, grid);
  return std::memcmp(cells, block.coverage27, sizeof cells) == 0;
}

bool CodeRowPossible(const std::uint32_t* row) { return CodeRowFaults(row) == 0; }

bool EdgePairsPossible(const std::uint8_t* pairs) {
  // Without early exits, so that the loop vectorises; the answer is the same.
  int bad = 0;
  for (int p = 0; p < kEdgePairs; ++p) {
    const int upper = pairs[2 * p], lower = pairs[2 * p + 1];
    const int offFinger = (upper == 120) & (lower == 0);  // neither column on the finger
    // The mean upper row cannot lie below the mean lower row; with no lower row (0) the only
    // finger pixels lie in row 0, so upper must be 0 too: both are upper > lower.
    bad |= ~offFinger & ((upper > 119) | (lower > 119) | (upper > lower));
  }
  return bad == 0;
}

bool CoarseVectorPossible(const std::int8_t* coarse) {
  // Whole vectors without early exits, so that the loop vectorises; the answer is the same.
  for (int v = 0; v < kCoarseEntries / kCoarseVectorLength; ++v) {
    int squares = 0, outside = 0;
    for (int j = 0; j < kCoarseVectorLength; ++j) {
      const int value = coarse[v * kCoarseVectorLength + j];
      outside |= (value < -kCoarseLimit) | (value > kCoarseLimit);
      squares += value * value;
    }
    if (outside != 0 || squares > kMaxCoarseSquares) return false;
  }
  return true;
}

bool GridWordsPossible(const unsigned char* bytes, const GridParams& grid) {
  std::int32_t origin, step;
  std::memcpy(&origin, bytes + offsetof(VeinModel, gridOrigin), sizeof origin);
  std::memcpy(&step, bytes + offsetof(VeinModel, gridStep), sizeof step);
  return GridWordIs(origin, grid.origin) && GridWordIs(step, grid.firstCol);
}

bool ModelBytesPossiblePlain(const unsigned char* bytes) {
  const std::uint8_t* vectors = bytes + offsetof(VeinModel, cellVectors);
  const CellBounds bounds = TemplateCellBounds(bytes);
  for (int k = 0; k < kASamples; ++k) {
    if (!CellVectorPossible(vectors + 8 * k, bounds)) return false;
  }
  std::uint32_t rows[kBSamples][4];
  std::memcpy(rows, bytes + offsetof(VeinModel, codeRows), sizeof rows);
  if (!CodeRowsPossible(rows)) return false;
  const std::uint8_t* pairs = bytes + offsetof(VeinModel, edgePairs);
  if (!EdgePairsPossible(pairs) || !GridWordsPossible(bytes, ComputeGridOrigin(pairs))) return false;
  // Weights: a capture's are those of its edge pairs (TemplateCellBounds tells), and a merge's
  // cannot be recomputed.
  return CoarseVectorPossible(reinterpret_cast<const std::int8_t*>(bytes + offsetof(VeinModel, coarse)));
}

bool ModelPossible(const VeinModel& model) {
  return ModelBytesPossible(reinterpret_cast<const unsigned char*>(&model));
}

bool FeaturePossible(const VeinFeature& feature) {
  for (int b = 0; b < 3; ++b) {
    const FeatureBlock& block = feature.blocks[b];
    if (!EdgePairsPossible(&block.edgePairs[0][0]) || !BlockCoveragePossible(block)) return false;
    if (!AllPossible(block.cellVectors, block.codeRows, kCaptureCells)) return false;
    // Only the first block carries the grid words and the coarse vector.
    if (b == 0) {
      const GridParams grid = ComputeGridOrigin(&block.edgePairs[0][0]);
      if (block.gridOrigin != grid.origin || block.gridFirstCol != grid.firstCol) return false;
      if (!CoarseVectorPossible(block.coarse)) return false;
    } else if (block.gridOrigin != 0 || block.gridFirstCol != 0 ||
               !AllZero(block.coarse, kCoarseEntries)) {
      return false;
    }
  }
  return true;
}

}  // namespace veltrum
