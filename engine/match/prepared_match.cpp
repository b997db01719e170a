#include "match/prepared_match.h"

#include <cstddef>
#include <cstring>

#include "model/cell_vector.h"

namespace veltrum {

void PrepareBlock(const FeatureBlock& block, PreparedBlock& out) {
  std::memset(&out, 0, sizeof out);
  for (int row = 0; row < kGridRows; ++row) {
    for (int col = 0; col < kGridCols; ++col) {
      const int cell = row * kGridCols + col;
      const int lane = kAProbeColumn0 + col;
      out.coverage15[row][lane] = block.coverage15[cell];
      for (int t = 0; t < kCellValues; ++t) {
        out.values[row][t][lane] = static_cast<std::uint8_t>(CellNibble(block.cellVectors[cell], t));
      }
      // Column col = 3 (n - 3) + v + e sits at lane 2n + e of layout v.
      for (int v = 0; v < 3; ++v) {
        const int from = col - v + 3 * kBProbePair0;
        const int e = from % 3;
        if (e > 1) continue;
        const int bLane = 2 * (from / 3) + e;
        for (int w = 0; w < kCellCodeWords; ++w) out.codes[row][v][w][bLane] = block.codeRows[cell][w];
        out.codes[row][v][4][bLane] = block.coverage27[cell];
      }
    }
  }
}

void PrepareCells(const FeatureBlock& block, PreparedCells& out) {
  std::memset(&out, 0, sizeof out);
  for (int row = 0; row < kGridRows; ++row) {
    for (int col = 0; col < kGridCols; ++col) {
      const int cell = row * kGridCols + col, lane = kAProbeColumn0 + col;
      out.coverage15[row][lane] = block.coverage15[cell];
      for (int t = 0; t < kCellValues; ++t) {
        out.values[row][t][lane] = static_cast<std::uint8_t>(CellNibble(block.cellVectors[cell], t));
      }
      for (int w = 0; w < kCellCodeWords; ++w) out.codes[row][w][lane] = block.codeRows[cell][w];
      out.codes[row][4][lane] = block.coverage27[cell];
    }
  }
}

void PrepareModel(const unsigned char* model, PreparedModel& out) {
  std::memset(&out, 0, sizeof out);
  const unsigned char* vectors = model + offsetof(VeinModel, cellVectors);
  const unsigned char* cellWeights = model + offsetof(VeinModel, cellWeights);
  for (int i = 0; i < 8; ++i) {
    for (int j = 0; j < 18; ++j) {
      const int k = i * 18 + j, col = SampleColsA[j];
      out.cellWeights[i][col] = cellWeights[k];
      for (int b = 0; b < 8; ++b) {
        const std::uint8_t byte = vectors[8 * k + b];
        out.values[i][2 * b][col] = byte >> 4;
        out.values[i][2 * b + 1][col] = byte & 15;
      }
    }
  }
  const unsigned char* rows = model + offsetof(VeinModel, codeRows);
  const unsigned char* codeWeights = model + offsetof(VeinModel, codeWeights);
  for (int i = 0; i < 7; ++i) {
    for (int j = 0; j < 14; ++j) {
      const int k = i * 14 + j;
      std::uint32_t words[kCellCodeWords];
      std::memcpy(words, rows + 16 * k, sizeof words);
      for (int w = 0; w < kCellCodeWords; ++w) out.codes[i][w][j] = words[w];
      out.codes[i][4][j] = codeWeights[k];
    }
  }
}

}  // namespace veltrum
