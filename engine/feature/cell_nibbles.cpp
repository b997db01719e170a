#include "feature/cell_nibbles.h"

#include <cstring>

#include "feature/filter_bank.h"
#include "tables/sqrt_table.h"

namespace veltrum {

std::uint64_t TableRoot(std::uint64_t s) {
  int k = 0;
  while ((s >> (2 * k)) >= 1025) ++k;
  return static_cast<std::uint64_t>(SqrtTable1024[s >> (2 * k)]) << k;
}

void CellNibbles(const std::int32_t* cellResponses, std::uint8_t* out) {
  std::int64_t x[16];
  std::uint64_t sum = 0;
  for (int n = 0; n < 16; ++n) {
    const int scale = n / 8, orientation = 2 * (n % 8) + 1;
    x[n] = cellResponses[scale * kOrientations + orientation] >> 5;
    sum += static_cast<std::uint64_t>(x[n] * x[n]);
  }
  std::int64_t norm = static_cast<std::int64_t>(TableRoot(sum) >> 10);
  if (norm == 0) norm = 1;
  std::uint8_t nibble[16];
  // 64 x / 3 stays below 2^37 and the norm is a whole number from 1: doubles hold both exactly, and
  // their correctly rounded quotient truncates to the integer quotient.
  const double divisor = static_cast<double>(norm);
  for (int n = 0; n < 16; ++n) {
    const auto q = static_cast<std::int64_t>(static_cast<double>(64 * x[n] / 3) / divisor);
    nibble[n] = static_cast<std::uint8_t>(q > 15 ? 15 : q);
  }
  for (int j = 0; j < 8; ++j) out[j] = static_cast<std::uint8_t>(nibble[2 * j] * 16 + nibble[2 * j + 1]);
}

void ComputeCellNibbles(FeatureBlock& block, FeatureBlock& sample, const std::int32_t* responses) {
  for (int cell = 0; cell < kGridCells; ++cell) {
    CellNibbles(responses + ResponseIndex(cell, 0, 0), block.cellVectors[cell]);
  }
  std::memset(sample.cellVectors, 0, 1152);
  for (int k = 0; k < 144; ++k) {
    const GridCell cell = SampleCellA(k);
    if (cell.row >= kGridRows || cell.col >= kGridCols) continue;
    std::memcpy(sample.cellVectors[k], block.cellVectors[cell.index()], 8);
  }
}

}  // namespace veltrum
