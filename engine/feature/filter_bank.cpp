#include "feature/filter_bank.h"

#include <algorithm>
#include <cmath>

#include "core/alloc.h"
#include "core/integral_image.h"
#include "feature/filter_bank_simd.h"
#include "model/sample_cells.h"
#include "tables/cell_weight_tables.h"
#include "tables/filter_kernel_tables.h"

namespace veltrum {
namespace {

constexpr int kMaxHalf = 27;
constexpr int kPlaneRow = kOutWidth + 2 * kMaxHalf;  // 194: zero columns on both sides
constexpr int kColumnValues = kSimdColumnValues;     // a column's 9 even then 9 odd sums
// Spare entries after the row sums and the columns, so that whole vectors may be read there.
constexpr int kRowSpare = kSimdColumns - kOutWidth;
constexpr int kColumnSpare = kSimdPlanes;

// The horizontal sums are integers below 2^35 (vertical sums below 2^21 times taps below 2^10,
// at most 55 terms), so double arithmetic gives them exactly in any order; unlike 64-bit
// integer products it vectorises across the nine planes.
using Exact = double;

struct Work {
  // 194 columns of the vertical sums, [x][0..8] even and [x][9..17] odd per plane.
  WorkArray<Exact> planes;
  WorkArray<std::int32_t> boxes;   // (cell * 7 + scale)
  WorkArray<std::int16_t> even;    // [0..27][x]: one row of 140 per distance
  WorkArray<std::int16_t> odd;     // [1..27][x] at [(d - 1) * 140 + x]
  WorkArray<std::uint32_t> integral;

  Exact* Column(int x) { return planes.get() + (x + kMaxHalf) * kColumnValues; }
};

bool Allocate(Work& w) {
  // A fixed order, so that a failing nth allocation always hits the same buffer. The planes'
  // outer columns stay 0.
  w.planes = AllocZeroedArray<Exact>(kColumnValues * kPlaneRow + kColumnSpare);
  if (!w.planes) return false;
  w.boxes = AllocArray<std::int32_t>(kGridCells * kScales);
  if (!w.boxes) return false;
  w.even = AllocArray<std::int16_t>(kOutWidth * 28 + kRowSpare);
  if (!w.even) return false;
  w.odd = AllocArray<std::int16_t>(kOutWidth * 27 + kRowSpare);
  if (!w.odd) return false;
  std::fill_n(w.even.get() + kOutWidth * 28, kRowSpare, std::int16_t{0});
  std::fill_n(w.odd.get() + kOutWidth * 27, kRowSpare, std::int16_t{0});
  w.integral = AllocArray<std::uint32_t>(IntegralImage::Entries(kOutWidth, kOutHeight));
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
  std::int16_t* e = w.even.get();
  std::int16_t* o = w.odd.get();
  for (int x = 0; x < kOutWidth; ++x) e[x] = static_cast<std::int16_t>(at(y, x));
  for (int d = 1; d <= kMaxHalf; ++d) {
    std::int16_t* ed = e + d * kOutWidth;
    std::int16_t* od = o + (d - 1) * kOutWidth;
    for (int x = 0; x < kOutWidth; ++x) {
      ed[x] = static_cast<std::int16_t>(at(y - d, x) + at(y + d, x));
      od[x] = static_cast<std::int16_t>(at(y - d, x) - at(y + d, x));
    }
  }
}

void VerticalPass(const ScaleKernels& kt, Work& w, bool vectors) {
  const int h = kt.halfSize;
  for (int k = 0; k < kFilterPlanes; ++k) {
    std::int16_t ce[kMaxHalf + 1], co[kMaxHalf + 1];  // the kernel tables hold 16-bit taps
    for (int d = 1; d <= h; ++d) {
      ce[d] = static_cast<std::int16_t>(kt.Even(d, k));
      co[d] = static_cast<std::int16_t>(kt.Odd(d, k));
    }
    const std::int16_t* e = w.even.get();
    std::int32_t se[kSimdColumns], so[kSimdColumns];
    if (vectors) {
      VerticalPlaneSumsSimd(e, w.odd.get(), ce, co, h, kVerticalCentreWeight, se, so);
    } else {
      // Distance outer, column inner, into local rows: the column loops vectorise.
      for (int x = 0; x < kOutWidth; ++x) {
        se[x] = kVerticalCentreWeight * e[x];
        so[x] = 0;
      }
      for (int d = 1; d <= h; ++d) {
        const std::int16_t* ed = e + d * kOutWidth;
        const std::int16_t cd = ce[d];
        for (int x = 0; x < kOutWidth; ++x) se[x] += cd * ed[x];
        const std::int16_t* od = w.odd.get() + (d - 1) * kOutWidth;
        const std::int16_t cod = co[d];
        for (int x = 0; x < kOutWidth; ++x) so[x] += cod * od[x];
      }
    }
    for (int x = 0; x < kOutWidth; ++x) {
      Exact* column = w.Column(x);
      column[k] = se[x];
      column[kFilterPlanes + k] = so[x];
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

// Sums for one cell and every plane j; j and 16 - j come from the same sums with the odd terms'
// sign flipped. Distance outer, plane inner: the plane loops vectorise.
void HorizontalPass(const ScaleKernels& kt, int s, int r, const GridParams& grid, Work& w,
                    std::int32_t* responses, bool vectors) {
  constexpr int P = kFilterPlanes;
  const int h = kt.halfSize, width = kt.Width();
  Exact a[kMaxHalf + 1][kSimdPlanes] = {}, b[kMaxHalf + 1][kSimdPlanes] = {};  // tap d, plane j
  for (int d = 0; d <= h; ++d) {
    for (int j = 0; j < P; ++j) {
      a[d][j] = kt.t1[j * width + h + d];
      b[d][j] = kt.t2[j * width + h + d];
    }
  }
  for (int c = 0; c < kGridCols; ++c) {
    const int cell = r * kGridCols + c;
    const int x = grid.firstCol + grid.colStep * c;
    const std::int32_t mean = w.boxes[cell * kScales + s] >> 4;
    Exact evenSym[kSimdPlanes], oddSym[kSimdPlanes], evenCross[kSimdPlanes] = {},
        oddCross[kSimdPlanes] = {};
    if (vectors) {
      HorizontalCellSumsSimd(w.Column(x), &a[0][0], &b[0][0], h, evenSym, oddSym, evenCross,
                             oddCross);
    } else {
      const Exact* centre = w.Column(x);
      for (int j = 0; j < P; ++j) {
        evenSym[j] = a[0][j] * centre[j];
        oddSym[j] = a[0][j] * centre[P + j];
      }
      for (int d = 1; d <= h; ++d) {
        const Exact* left = w.Column(x - d);
        const Exact* right = w.Column(x + d);
        for (int j = 0; j < P; ++j) {
          evenSym[j] += a[d][j] * (left[j] + right[j]);
          oddSym[j] += a[d][j] * (left[P + j] + right[P + j]);
          evenCross[j] += b[d][j] * (right[P + j] - left[P + j]);
          oddCross[j] += b[d][j] * (right[j] - left[j]);
        }
      }
    }
    for (int j = 0; j <= 8; ++j) {
      const auto es = static_cast<std::int64_t>(evenSym[j]);
      const auto os = static_cast<std::int64_t>(oddSym[j]);
      const auto ec = static_cast<std::int64_t>(evenCross[j]);
      const auto oc = static_cast<std::int64_t>(oddCross[j]);
      const int i = ResponseIndex(cell, s, j);
      responses[i] = Magnitude(es - ec, os + oc, CellWeightTableA[i], CellWeightTableB[i], mean);
      if (j == 0 || j == 8) continue;
      const int m = ResponseIndex(cell, s, 16 - j);
      responses[m] = Magnitude(es + ec, os - oc, CellWeightTableA[m], CellWeightTableB[m], mean);
    }
  }
}


int Responses(const ImageRef& image, std::int32_t* responses, const GridParams& grid,
              bool vectors) {
  Work w;
  if (!Allocate(w)) return -1;
  BoxSums(image.pixels, w.integral.get(), w.boxes.get(), grid);
  for (int r = 0; r < kGridRows; ++r) {
    ColumnSums(image.pixels, grid.origin + grid.rowStep * r, w);
    for (int s = 0; s < kScales; ++s) {
      VerticalPass(FilterKernelTables[s], w, vectors);
      HorizontalPass(FilterKernelTables[s], s, r, grid, w, responses, vectors);
    }
  }
  return 0;
}

}  // namespace

int FilterBankResponses(const ImageRef& image, std::int32_t* responses, const GridParams& grid) {
  return Responses(image, responses, grid, true);
}

int FilterBankResponsesPlain(const ImageRef& image, std::int32_t* responses,
                             const GridParams& grid) {
  return Responses(image, responses, grid, false);
}

}  // namespace veltrum
