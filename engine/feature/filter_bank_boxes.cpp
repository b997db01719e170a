#include "feature/filter_bank_boxes.h"

#include "model/sample_cells.h"
#include "tables/filter_kernel_tables.h"

namespace veltrum {

void CellBoxSums(const std::uint8_t* p, std::uint32_t* sums, std::int32_t* boxes,
                 const GridParams& grid) {
  IntegralImage integral(sums, kOutWidth, kOutHeight);
  integral.Build(0, kOutHeight - 1, [&](int r, int c) { return p[r * kOutWidth + c]; });
  for (int cell = 0; cell < kGridCells; ++cell) {
    const int y = grid.origin + grid.rowStep * (cell / kGridCols);
    const int x = grid.firstCol + grid.colStep * (cell % kGridCols);
    for (int s = 0; s < kFilterScales; ++s) {
      const int h = ScaleHalfSizes[s];
      boxes[cell * kFilterScales + s] =
          static_cast<std::int32_t>(integral.ClampedWindowSum(y - h, y + h, x - h, x + h));
    }
  }
}

}  // namespace veltrum
