#include "model/possible_content.h"

#include "feature/grid_origin.h"
#include "model/cell_squares_simd.h"
#include "model/cell_vector.h"

namespace veltrum {
namespace {

constexpr int kCoarseVectorLength = 60;

// The stored form keeps a grid word's low byte in all four bytes; enrolment writes the value.
bool GridWordIs(std::int32_t word, int value) {
  const auto low = static_cast<std::uint32_t>(value) & 0xFFu;
  return word == value || static_cast<std::uint32_t>(word) == low * 0x01010101u;
}

template <int Cells, int Rows>
bool AllPossible(const std::uint8_t (&vectors)[Cells][8], const std::uint32_t (&rows)[Rows][4]) {
  if (!CellVectorsPossibleSimd(&vectors[0][0], Cells)) return false;
  for (const auto& row : rows) {
    if (!CodeRowPossible(row)) return false;
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

bool CellVectorPossible(const std::uint8_t* vector) {
  // Byte by byte, both nibbles at once: every template of a search passes here.
  int squares = 0;
  for (int i = 0; i < 8; ++i) {
    const int high = vector[i] >> 4, low = vector[i] & 15;
    squares += high * high + low * low;
  }
  return squares <= kMaxCellSquares;
}

bool CodeRowPossible(const std::uint32_t* row) {
  if ((row[3] >> 8) != 0) return false;
  // Orientation groups: the two halves of words 0 and 1.
  for (int w = 0; w < 2; ++w) {
    if ((row[w] >> 16) == 0xFFFFu || (row[w] & 0xFFFFu) == 0xFFFFu) return false;
  }
  return true;
}

bool EdgePairsPossible(const std::uint8_t* pairs) {
  for (int p = 0; p < kEdgePairs; ++p) {
    const int upper = pairs[2 * p], lower = pairs[2 * p + 1];
    if (upper == 120 && lower == 0) continue;  // neither column on the finger
    if (upper > 119 || lower > 119) return false;
    // No lower row means the only finger pixels lie in row 0; otherwise the mean upper row
    // cannot lie below the mean lower row.
    if (lower == 0 ? upper != 0 : upper > lower) return false;
  }
  return true;
}

bool CoarseVectorPossible(const std::int8_t* coarse) {
  for (int v = 0; v < kCoarseEntries / kCoarseVectorLength; ++v) {
    int squares = 0;
    for (int j = 0; j < kCoarseVectorLength; ++j) {
      const int value = coarse[v * kCoarseVectorLength + j];
      if (value < -kCoarseLimit || value > kCoarseLimit) return false;
      squares += value * value;
    }
    if (squares > kMaxCoarseSquares) return false;
  }
  return true;
}

bool ModelPossible(const VeinModel& model) {
  if (!EdgePairsPossible(&model.edgePairs[0][0])) return false;
  const GridParams grid = ComputeGridOrigin(&model.edgePairs[0][0]);
  if (!GridWordIs(model.gridOrigin, grid.origin) || !GridWordIs(model.gridStep, grid.firstCol)) {
    return false;
  }
  // Weights are bytes, so every value is one a coverage can take.
  return AllPossible(model.cellVectors, model.codeRows) && CoarseVectorPossible(model.coarse);
}

bool FeaturePossible(const VeinFeature& feature) {
  for (int b = 0; b < 3; ++b) {
    const FeatureBlock& block = feature.blocks[b];
    if (!EdgePairsPossible(&block.edgePairs[0][0])) return false;
    if (!AllPossible(block.cellVectors, block.codeRows)) return false;
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
