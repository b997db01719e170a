#include "feature/coverage.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "model/sample_cells.h"

namespace veltrum {
namespace {

struct Band {
  int top, bottom;
};

// Column j's finger rows from the edge pairs, trimmed by 4 rows at each side.
Band ColumnBand(const std::uint8_t* pairs, int j) {
  if (j == kOutWidth - 1) return {pairs[2 * 69] + 4, pairs[2 * 69 + 1] - 4};
  const int a = j / 2, b = (j + 1) / 2;
  return {(pairs[2 * a] + pairs[2 * b]) / 2 + 4, (pairs[2 * a + 1] + pairs[2 * b + 1]) / 2 - 4};
}

struct Bands {
  Band column[kOutWidth];
  explicit Bands(const std::uint8_t* pairs) {
    for (int j = 0; j < kOutWidth; ++j) column[j] = ColumnBand(pairs, j);
  }
};

// The finger rows of the windows of grid row r's 22 cells into `counts`: a running sum of the
// clipped band lengths gives each window as one difference, which counts the same integers as
// adding the window's columns one by one.
void RowCounts(const Bands& bands, int r, int radius, const GridParams& grid,
               std::int32_t* counts) {
  std::int32_t below[kOutWidth + 1];  // below[j]: finger rows of the window in columns 0..j-1
  below[0] = 0;
  const int y = grid.origin + grid.rowStep * r;
  for (int j = 0; j < kOutWidth; ++j) {
    const int top = std::max(bands.column[j].top, y - radius);
    const int bottom = std::min(bands.column[j].bottom, y + radius);
    below[j + 1] = below[j] + std::max(bottom - top + 1, 0);
  }
  for (int c = 0; c < kGridCols; ++c) {
    const int x = grid.firstCol + grid.colStep * c;
    const int first = std::max(x - radius, 0), last = std::min(x + radius, kOutWidth - 1);
    counts[c] = last >= first ? below[last + 1] - below[first] : 0;
  }
}

std::uint8_t CoverageByte(std::int32_t count, int radius) {
  return static_cast<std::uint8_t>(count * 255 / ((2 * radius + 1) * (2 * radius + 1)));
}

// Coverage bytes of all 330 cells into `cells`, counting in `counts` (330 values).
void CountCoverage(std::uint8_t* cells, std::int32_t* counts, const std::uint8_t* pairs, int radius,
                   const GridParams& grid) {
  const Bands bands(pairs);
  for (int r = 0; r < kGridRows; ++r) RowCounts(bands, r, radius, grid, counts + r * kGridCols);
  for (int i = 0; i < kGridCells; ++i) cells[i] = CoverageByte(counts[i], radius);
}

// Whether the sampled bytes of one radius are those of the edge pairs, row by row of samples.
template <std::size_t Rows, std::size_t Cols>
bool SamplesMatch(const Bands& bands, int radius, const GridParams& grid,
                  const std::array<std::int8_t, Rows>& rows,
                  const std::array<std::int8_t, Cols>& cols, const std::uint8_t* stored) {
  std::int32_t counts[kGridCols];
  for (std::size_t i = 0; i < Rows; ++i) {
    RowCounts(bands, rows[i], radius, grid, counts);
    for (std::size_t j = 0; j < Cols; ++j) {
      if (stored[i * Cols + j] != CoverageByte(counts[cols[j]], radius)) return false;
    }
  }
  return true;
}

// The same with counters from the heap; false when memory is short.
bool CoverageCells(std::uint8_t* cells, const std::uint8_t* pairs, int radius,
                   const GridParams& grid) {
  auto counts = AllocZeroedArray<std::int32_t>(kGridCells);
  if (!counts) return false;
  CountCoverage(cells, counts.get(), pairs, radius, grid);
  return true;
}

}  // namespace

void CoverageGridOnStack(std::uint8_t* out, const std::uint8_t* edgePairs, int radius,
                         const GridParams& grid) {
  std::int32_t counts[kGridCells];
  CountCoverage(out, counts, edgePairs, radius, grid);
}

bool SampledCoverageMatches(const std::uint8_t* samplesA, const std::uint8_t* samplesB,
                            const std::uint8_t* edgePairs, const GridParams& grid) {
  const Bands bands(edgePairs);
  return SamplesMatch(bands, kCoverageRadiusA, grid, SampleRowsA, SampleColsA, samplesA) &&
         SamplesMatch(bands, kCoverageRadiusB, grid, SampleRowsB, SampleColsB, samplesB);
}

int ComputeCoverageGrid(std::uint8_t* out, const std::uint8_t* edgePairs, int radius,
                        const GridParams& grid) {
  return CoverageCells(out, edgePairs, radius, grid) ? 0 : -1;
}

int ComputeCoverageSamples(std::uint8_t* out, const std::uint8_t* edgePairs, int radius,
                           const GridParams& grid) {
  std::uint8_t cells[kGridCells];
  if (!CoverageCells(cells, edgePairs, radius, grid)) return -1;
  if (radius == kCoverageRadiusA) {
    for (int k = 0; k < 144; ++k) out[k] = cells[SampleCellA(k).index()];
  } else {
    for (int k = 0; k < 98; ++k) out[k] = cells[SampleCellB(k).index()];
  }
  return 0;
}

}  // namespace veltrum
