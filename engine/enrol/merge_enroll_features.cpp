#include "enrol/merge_enroll_features.h"

#include <algorithm>
#include <cstring>

#include "feature/cell_codes.h"
#include "feature/cell_nibbles.h"
#include "feature/code_stream.h"
#include "feature/filter_bank.h"
#include "model/cell_vector.h"

namespace veltrum {
namespace {

// Half the shift, rounded toward zero from one step nearer zero.
int HalfShift(int s) { return s >= 0 ? (s - 1) / 2 : (s + 1) / 2; }

bool InGrid(int row, int col) {
  return row >= 0 && row < kGridRows && col >= 0 && col < kGridCols;
}

// With 32-bit values and non-negative weights summing below 2^21, every product and sum stays a
// whole number below 2^53, which doubles hold exactly; the correctly rounded quotient then
// truncates to the integer quotient (a fraction lies at least 1/w from the next integer, further
// than its rounding), and as a weighted mean it lies within the 32-bit range. Other weights take
// 64-bit integers.
constexpr std::int64_t kExactWeights = std::int64_t{1} << 21;

// out[k] = (a[k] x wa + b[k] x wb + w / 2) / w for k < n, in 64-bit integers truncating, w >= 1.
template <class Out>
void WeightedMeans(const std::int32_t* a, const std::int32_t* b, std::int64_t wa, std::int64_t wb,
                   std::int64_t w, int n, Out* out) {
  if (wa >= 0 && wb >= 0 && wa + wb < kExactWeights) {
    const double da = static_cast<double>(wa), db = static_cast<double>(wb);
    const double half = static_cast<double>(w / 2), dw = static_cast<double>(w);
    for (int k = 0; k < n; ++k) {
      out[k] = static_cast<Out>(
          (static_cast<double>(a[k]) * da + static_cast<double>(b[k]) * db + half) / dw);
    }
    return;
  }
  for (int k = 0; k < n; ++k) {
    out[k] = static_cast<Out>((std::int64_t{a[k]} * wa + std::int64_t{b[k]} * wb + w / 2) / w);
  }
}

std::uint8_t NormalisedNibble(std::int64_t m, std::int64_t n) {
  return static_cast<std::uint8_t>(std::min<std::int64_t>(15, (m * 65536 / 3) / n));
}

// Values of a cell off the grid, which enters with weight 0.
constexpr std::int32_t kNoValues[kCellResponses] = {};

}  // namespace

void StartMerge(MergeRunning& running, const FeatureBlock& reference) {
  for (int cell = 0; cell < kGridCells; ++cell) {
    for (int t = 0; t < 16; ++t) running.values[cell][t] = CellNibble(reference.cellVectors[cell], t);
    running.weight15[cell] = reference.coverage15[cell];
    running.weight27[cell] = reference.coverage27[cell];
  }
}

void MergeEnrollFeatures(FeatureBlock& result, const FeatureBlock& reference,
                         const FeatureBlock& other, const std::int32_t* referenceTable,
                         const std::int32_t* otherTable, MergeRunning& running,
                         std::int8_t shiftRow, std::int8_t shiftCol, int weight,
                         std::int32_t* resultTable) {
  std::memset(&result, 0, sizeof result);
  MergeRunning next;
  CodeStream codes{&result.codeRows[0][0]};
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridCols; ++c) {
      const int cell = r * kGridCols + c;
      const int refRow = r - HalfShift(shiftRow), refCol = c - HalfShift(shiftCol);
      const int othRow = refRow + shiftRow, othCol = refCol + shiftCol;
      // A cell off the grid has weight 0 and is never read.
      const bool refIn = InGrid(refRow, refCol), othIn = InGrid(othRow, othCol);
      const int ref = refIn ? refRow * kGridCols + refCol : 0;
      const int oth = othIn ? othRow * kGridCols + othCol : 0;

      const std::int64_t wr = refIn ? running.weight15[ref] : 0;
      const std::int64_t wo = othIn ? other.coverage15[oth] * weight / 10 : 0;
      const std::int64_t w = std::max<std::int64_t>(1, wr + wo);
      std::int32_t otherValues[16];
      for (int t = 0; t < 16; ++t) otherValues[t] = othIn ? CellNibble(other.cellVectors[oth], t) : 0;
      std::int64_t m[16], squares = 0;
      WeightedMeans(refIn ? running.values[ref] : kNoValues, otherValues, wr, wo, w, 16, m);
      for (int t = 0; t < 16; ++t) squares += m[t] * m[t];
      std::int64_t n = static_cast<std::int64_t>(TableRoot(static_cast<std::uint64_t>(squares)));
      if (n == 0) n = 1;
      for (int j = 0; j < 8; ++j) {
        result.cellVectors[cell][j] =
            static_cast<std::uint8_t>(NormalisedNibble(m[2 * j], n) * 16 + NormalisedNibble(m[2 * j + 1], n));
      }
      result.coverage15[cell] = std::max(refIn ? reference.coverage15[ref] : std::uint8_t{0},
                                         othIn ? other.coverage15[oth] : std::uint8_t{0});

      const std::int64_t wr27 = refIn ? running.weight27[ref] : 0;
      const std::int64_t wo27 = othIn ? other.coverage27[oth] * weight / 10 : 0;
      const std::int64_t w27 = std::max<std::int64_t>(1, wr27 + wo27);
      WeightedMeans(refIn ? referenceTable + ref * kCellResponses : kNoValues,
                    othIn ? otherTable + oth * kCellResponses : kNoValues, wr27, wo27, w27,
                    kCellResponses, resultTable + cell * kCellResponses);
      result.coverage27[cell] = std::max(refIn ? reference.coverage27[ref] : std::uint8_t{0},
                                         othIn ? other.coverage27[oth] : std::uint8_t{0});
      AppendCellCode(codes, cell, resultTable);

      for (int t = 0; t < 16; ++t) next.values[cell][t] = static_cast<std::int32_t>(m[t]);
      next.weight15[cell] = static_cast<std::int32_t>(w);
      next.weight27[cell] = static_cast<std::int32_t>(w27);
    }
  }
  FinishCodeStream(codes);
  running = next;
}

}  // namespace veltrum
