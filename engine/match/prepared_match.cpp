#include "match/prepared_match.h"

#include <cstddef>
#include <cstring>


namespace veltrum {

namespace {

// The lane of column col in B layout v (-1 where the layout has no place for it): column
// 3 (n - 3) + v + e sits at lane 2n + e.
struct BLanes {
  int lane[kGridCols][3];
};
constexpr BLanes kBLanes = [] {
  BLanes t{};
  for (int col = 0; col < kGridCols; ++col) {
    for (int v = 0; v < 3; ++v) {
      const int from = col - v + 3 * kBProbePair0;
      t.lane[col][v] = from % 3 > 1 ? -1 : 2 * (from / 3) + from % 3;
    }
  }
  return t;
}();

// The 16 values of a cell vector into 16 planes `stride` bytes apart (value 2b is the high nibble
// of byte b).
void SpreadValues(const std::uint8_t* vector, std::uint8_t* planes, int stride) {
  for (int b = 0; b < 8; ++b) {
    planes[2 * b * stride] = vector[b] >> 4;
    planes[(2 * b + 1) * stride] = vector[b] & 15;
  }
}

}  // namespace

void PrepareBlock(const FeatureBlock& block, PreparedBlock& out) {
  std::memset(&out, 0, sizeof out);
  for (int row = 0; row < kGridRows; ++row) {
    for (int col = 0; col < kGridCols; ++col) {
      const int cell = row * kGridCols + col;
      const int lane = kAProbeColumn0 + col;
      out.coverage15[row][lane] = block.coverage15[cell];
      SpreadValues(block.cellVectors[cell], &out.values[row][0][lane], kAProbeLanes);
      for (int v = 0; v < 3; ++v) {
        const int bLane = kBLanes.lane[col][v];
        if (bLane < 0) continue;
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
      SpreadValues(block.cellVectors[cell], &out.values[row][0][lane], kAProbeLanes);
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
      SpreadValues(vectors + 8 * k, &out.values[i][0][col], kAModelLanes);
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
