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
  std::int32_t x[16];
  std::uint64_t sum = 0;
  for (int n = 0; n < 16; ++n) {
    const int scale = n / 8, orientation = 2 * (n % 8) + 1;
    x[n] = cellResponses[scale * kOrientations + orientation] >> 5;
    sum += static_cast<std::uint64_t>(std::int64_t{x[n]} * x[n]);
  }
  std::int64_t norm = static_cast<std::int64_t>(TableRoot(sum) >> 10);
  if (norm == 0) norm = 1;
  // |x| < 2^26, so 64 x lies below 2^32 and 64 x / 3 within 32 bits: doubles hold every numerator
  // exactly, and a correctly rounded quotient of whole numbers below 2^53 truncates to the integer
  // quotient. The quotients then convert straight to 32 bits, which keeps the loop in vectors.
  const double divisor = static_cast<double>(norm);
  std::int32_t q[16];
  for (int n = 0; n < 16; ++n) {
    const auto third = static_cast<std::int32_t>(64.0 * static_cast<double>(x[n]) / 3.0);
    q[n] = static_cast<std::int32_t>(static_cast<double>(third) / divisor);
  }
  std::uint8_t nibble[16];
  for (int n = 0; n < 16; ++n) nibble[n] = static_cast<std::uint8_t>(q[n] > 15 ? 15 : q[n]);
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
