#include "feature/coverage.h"

#include <algorithm>

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

// Coverage bytes of all 330 cells into `cells`, counting in `counts` (330 values). The bands are
// taken once, and per grid row a running sum of the clipped band lengths gives each cell's window
// as one difference, which counts the same integers as adding the window's columns one by one.
void CountCoverage(std::uint8_t* cells, std::int32_t* counts, const std::uint8_t* pairs, int radius,
                   const GridParams& grid) {
  std::fill(counts, counts + kGridCells, 0);
  Band bands[kOutWidth];
  for (int j = 0; j < kOutWidth; ++j) bands[j] = ColumnBand(pairs, j);
  std::int32_t below[kOutWidth + 1];  // below[j]: finger rows of the window in columns 0..j-1
  below[0] = 0;
  for (int r = 0; r < kGridRows; ++r) {
    const int y = grid.origin + grid.rowStep * r;
    for (int j = 0; j < kOutWidth; ++j) {
      const int top = std::max(bands[j].top, y - radius);
      const int bottom = std::min(bands[j].bottom, y + radius);
      below[j + 1] = below[j] + std::max(bottom - top + 1, 0);
    }
    for (int c = 0; c < kGridCols; ++c) {
      const int x = grid.firstCol + grid.colStep * c;
      const int first = std::max(x - radius, 0), last = std::min(x + radius, kOutWidth - 1);
      if (last >= first) counts[r * kGridCols + c] = below[last + 1] - below[first];
    }
  }
  const int window = (2 * radius + 1) * (2 * radius + 1);
  for (int i = 0; i < kGridCells; ++i) cells[i] = static_cast<std::uint8_t>(counts[i] * 255 / window);
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
