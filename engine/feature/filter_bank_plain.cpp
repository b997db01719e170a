// The filter bank step by step in plain loops, each orientation's sums formed on their own:
// the reference the vector path is tested against.

#include <cmath>
#include <cstdlib>

#include "core/alloc.h"
#include "feature/filter_bank.h"
#include "core/integral_image.h"
#include "model/sample_cells.h"
#include "tables/cell_weight_tables.h"
#include "tables/filter_kernel_tables.h"

namespace veltrum {
namespace {

constexpr int kMaxHalf = 27;
constexpr int kPlaneRow = kOutWidth + 2 * kMaxHalf;  // 194: zero columns on both sides

struct Work {
  WorkArray<std::int32_t> planes;  // [k][x + 27] even, then [9 + k][x + 27] odd
  WorkArray<std::int32_t> boxes;   // (cell * 7 + scale)
  WorkArray<std::int16_t> even;    // [d][x], d = 0..27
  WorkArray<std::int16_t> odd;     // [d - 1][x], d = 1..27
  WorkArray<std::uint32_t> integral;
};

constexpr std::size_t kIntegralEntries = IntegralImage::Entries(kOutWidth, kOutHeight);

bool Allocate(Work& w) {
  w.planes = AllocZeroedArray<std::int32_t>(2 * kFilterPlanes * kPlaneRow);
  if (!w.planes) return false;
  w.boxes = AllocArray<std::int32_t>(kGridCells * kScales);
  if (!w.boxes) return false;
  w.even = AllocArray<std::int16_t>(kOutWidth * (kMaxHalf + 1));
  if (!w.even) return false;
  w.odd = AllocArray<std::int16_t>(kOutWidth * kMaxHalf);
  if (!w.odd) return false;
  w.integral = AllocArray<std::uint32_t>(kIntegralEntries);
  return w.integral != nullptr;
}

// Pixels of a box outside the image count 0.
void BoxSums(const std::uint8_t* p, std::uint32_t* sums, std::int32_t* boxes,
             const GridParams& grid) {
  IntegralImage integral(sums, kOutWidth, kOutHeight);
  integral.Build(0, kOutHeight - 1, [&](int r, int c) { return p[r * kOutWidth + c]; });
  for (int cell = 0; cell < kGridCells; ++cell) {
    const int y = grid.origin + grid.rowStep * (cell / kGridCols);
    const int x = grid.firstCol + grid.colStep * (cell % kGridCols);
    for (int s = 0; s < kScales; ++s) {
      const int h = ScaleHalfSizes[s];
      boxes[cell * kScales + s] =
          static_cast<std::int32_t>(integral.ClampedWindowSum(y - h, y + h, x - h, x + h));
    }
  }
}

void ColumnSums(const std::uint8_t* p, int y, Work& w) {
  auto at = [&](int row, int x) -> int {
    return row >= 0 && row < kOutHeight ? p[row * kOutWidth + x] : 0;
  };
  for (int x = 0; x < kOutWidth; ++x) {
    w.even[x] = static_cast<std::int16_t>(at(y, x));
    for (int d = 1; d <= kMaxHalf; ++d) {
      w.even[d * kOutWidth + x] = static_cast<std::int16_t>(at(y - d, x) + at(y + d, x));
      w.odd[(d - 1) * kOutWidth + x] = static_cast<std::int16_t>(at(y - d, x) - at(y + d, x));
    }
  }
}

void VerticalPass(const ScaleKernels& kt, Work& w) {
  for (int k = 0; k < kFilterPlanes; ++k) {
    std::int32_t* ve = w.planes.get() + k * kPlaneRow + kMaxHalf;
    std::int32_t* vo = ve + kFilterPlanes * kPlaneRow;
    for (int x = 0; x < kOutWidth; ++x) {
      std::int32_t e = kVerticalCentreWeight * w.even[x], o = 0;
      for (int d = 1; d <= kt.halfSize; ++d) {
        e += kt.Even(d, k) * w.even[d * kOutWidth + x];
        o += kt.Odd(d, k) * w.odd[(d - 1) * kOutWidth + x];
      }
      ve[x] = e;
      vo[x] = o;
    }
  }
}

std::int32_t Magnitude(std::int64_t even, std::int64_t odd, std::int32_t weightA,
                       std::int32_t weightB, std::int32_t mean) {
  const std::int64_t e = (even - std::int64_t{weightA} * mean) >> 12;
  const std::int64_t o = (odd - std::int64_t{weightB} * mean) >> 12;
  const float fe = static_cast<float>(e), fo = static_cast<float>(o);
  const float sum = fe * fe + fo * fo;
  const float root = std::sqrt(sum);
  const float value = 640.0f * root;
  return value >= 2147483520.0f ? 2147483520 : static_cast<std::int32_t>(value);
}

// Orientation k reads table row j = k (g = +1) or 16 - k (g = -1) and plane j.
void HorizontalPass(const ScaleKernels& kt, int s, int r, const GridParams& grid, Work& w,
                    std::int32_t* responses) {
  const int h = kt.halfSize, width = kt.Width();
  for (int c = 0; c < kGridCols; ++c) {
    const int cell = r * kGridCols + c;
    const int x = grid.firstCol + grid.colStep * c;
    const std::int32_t mean = w.boxes[cell * kScales + s] >> 4;
    for (int k = 0; k < kOrientations; ++k) {
      const int j = k <= 8 ? k : 16 - k;
      const std::int64_t g = k <= 8 ? 1 : -1;
      const std::int16_t* a = kt.t1 + j * width + h;
      const std::int16_t* b = kt.t2 + j * width + h;
      const std::int32_t* ve = w.planes.get() + j * kPlaneRow + kMaxHalf + x;
      const std::int32_t* vo = ve + kFilterPlanes * kPlaneRow;
      std::int64_t even = std::int64_t{a[0]} * ve[0], odd = std::int64_t{a[0]} * vo[0];
      for (int d = 1; d <= h; ++d) {
        even += std::int64_t{a[d]} * (ve[-d] + ve[d]) - g * b[d] * (vo[d] - vo[-d]);
        odd += std::int64_t{a[d]} * (vo[-d] + vo[d]) + g * b[d] * (ve[d] - ve[-d]);
      }
      const int i = ResponseIndex(cell, s, k);
      responses[i] = Magnitude(even, odd, CellWeightTableA[i], CellWeightTableB[i], mean);
    }
  }
}

}  // namespace

int FilterBankResponsesPlain(const ImageRef& image, std::int32_t* responses,
                             const GridParams& grid) {
  Work w;
  if (!Allocate(w)) return -1;
  BoxSums(image.pixels, w.integral.get(), w.boxes.get(), grid);
  for (int r = 0; r < kGridRows; ++r) {
    ColumnSums(image.pixels, grid.origin + grid.rowStep * r, w);
    for (int s = 0; s < kScales; ++s) {
      VerticalPass(FilterKernelTables[s], w);
      HorizontalPass(FilterKernelTables[s], s, r, grid, w, responses);
    }
  }
  return 0;
}

}  // namespace veltrum
