#include "feature/filter_bank.h"

#include <array>

#include "core/alloc.h"
#include "feature/filter_bank_simd.h"
#include "model/sample_cells.h"
#include "tables/cell_weight_tables.h"
#include "tables/filter_kernel_tables.h"

namespace veltrum {
namespace {

// One scale's taps in the forms the passes read: vertical taps in pairs (d = 0 carrying the
// centre weight), horizontal taps as doubles; 0 past the scale's half size.
struct ScaleTaps {
  int evenCount, oddCount;
  std::array<std::int32_t, kFilterPlanes * kTapPairs> evenPairs, oddPairs;
  std::array<double, kFilterPlanes * kTapRow> a, b;
};

std::int32_t Pair(int low, int high) {
  return static_cast<std::int32_t>(static_cast<std::uint16_t>(low) |
                                   static_cast<std::uint32_t>(static_cast<std::uint16_t>(high))
                                       << 16);
}

ScaleTaps MakeTaps(const ScaleKernels& kt) {
  const int h = kt.halfSize, width = kt.Width();
  ScaleTaps t{(h + 2) / 2, (h + 1) / 2, {}, {}, {}, {}};
  for (int k = 0; k < kFilterPlanes; ++k) {
    auto even = [&](int d) { return d == 0 ? kVerticalCentreWeight : d <= h ? kt.Even(d, k) : 0; };
    auto odd = [&](int d) { return d <= h ? kt.Odd(d, k) : 0; };
    for (int p = 0; p < kTapPairs; ++p) {
      t.evenPairs[p * kFilterPlanes + k] = Pair(even(2 * p), even(2 * p + 1));
      t.oddPairs[p * kFilterPlanes + k] = Pair(odd(2 * p + 1), odd(2 * p + 2));
    }
    for (int d = 0; d <= h; ++d) {
      t.a[k * kTapRow + d] = kt.t1[k * width + h + d];
      t.b[k * kTapRow + d] = kt.t2[k * width + h + d];
    }
  }
  return t;
}

// The mean-removal weights of each grid row and scale in the order the magnitudes come out,
// [((row * 7 + scale) * 16 + orientation) * 24 + column], 0 past the 22 columns. Static storage,
// not the heap: their first use must not be able to fail.
constexpr int kRowWeights = kOrientations * kCellLanes;
using RowWeights = std::array<std::int32_t, kGridRows * kScales * kRowWeights>;

void OrderRowWeights(const std::array<std::int32_t, kResponseEntries>& table, RowWeights& w) {
  for (int r = 0; r < kGridRows; ++r) {
    for (int s = 0; s < kScales; ++s) {
      std::int32_t* row = w.data() + (r * kScales + s) * kRowWeights;
      for (int c = 0; c < kGridCols; ++c) {
        for (int k = 0; k < kOrientations; ++k) {
          row[k * kCellLanes + c] = table[ResponseIndex(r * kGridCols + c, s, k)];
        }
      }
    }
  }
}

struct Derived {
  std::array<ScaleTaps, kScales> taps;
  RowWeights weightsA, weightsB;
};

// Built once, in static storage (no heap, no stack copy): the kernel and weight tables are
// constant.
const Derived& DerivedTables() {
  static const Derived* derived = [] {
    static Derived d;  // zeroed before the first call
    for (int s = 0; s < kScales; ++s) d.taps[s] = MakeTaps(FilterKernelTables[s]);
    OrderRowWeights(CellWeightTableA, d.weightsA);
    OrderRowWeights(CellWeightTableB, d.weightsB);
    return &d;
  }();
  return *derived;
}

struct Work {
  WorkArray<std::int32_t> planes;  // 9 x (even, odd) x 6 phase rows, zero outside the image columns
  WorkArray<std::int32_t> boxes;   // 7 scales' box columns, in the planes' layout
  WorkArray<std::int32_t> even;    // [pair][phase-ordered column]
  WorkArray<std::int32_t> odd;
  WorkArray<std::uint8_t> image;  // the image in phase order
};

bool Allocate(Work& w) {
  // A fixed order, so that a failing nth allocation always hits the same buffer.
  w.planes = AllocZeroedArray<std::int32_t>(2 * kFilterPlanes * kPlaneHalf);
  if (!w.planes) return false;
  w.boxes = AllocZeroedArray<std::int32_t>(kScales * kPlaneHalf);
  if (!w.boxes) return false;
  w.even = AllocArray<std::int32_t>(kTapPairs * kPhaseRow);
  if (!w.even) return false;
  w.odd = AllocArray<std::int32_t>(kTapPairs * kPhaseRow);
  if (!w.odd) return false;
  w.image = AllocArray<std::uint8_t>(kOutHeight * kPhaseRow);
  return w.image != nullptr;
}

// Column x = 6k + q of row y at y * 144 + q * 24 + k; columns 140-143 are 0.
void PhaseOrder(const std::uint8_t* p, std::uint8_t* out) {
  for (int y = 0; y < kOutHeight; ++y) {
    const std::uint8_t* row = p + y * kOutWidth;
    std::uint8_t* phases = out + y * kPhaseRow;
    for (int x = 0; x < kPhaseRow; ++x) {
      phases[x % kPhases * kPhaseColumns + x / kPhases] = x < kOutWidth ? row[x] : 0;
    }
  }
}

void ColumnSums(const std::uint8_t* phase, int y, Work& w) {
  alignas(64) static constexpr std::uint8_t kZeroRow[kPhaseRow] = {};
  auto row = [&](int yy) { return yy >= 0 && yy < kOutHeight ? phase + yy * kPhaseRow : kZeroRow; };
  const std::uint8_t* above[2 * kTapPairs + 1];
  const std::uint8_t* below[2 * kTapPairs + 1];
  for (int d = 0; d <= 2 * kTapPairs; ++d) {
    above[d] = row(y - d);
    below[d] = row(y + d);
  }
  PhaseColumnSumsSimd(above, below, w.even.get(), w.odd.get(), w.boxes.get());
}

// Each grid row's cells at one scale come out orientation-major; the table is cell-major.
void HorizontalPass(const Derived& tables, int s, int r, const int* offsets, Work& w,
                    std::int32_t* responses) {
  alignas(64) std::int32_t out[kRowWeights];
  const ScaleTaps& taps = tables.taps[s];
  const int first = (r * kScales + s) * kRowWeights;
  CellMagnitudesSimd(w.planes.get(), w.boxes.get() + s * kPlaneHalf, taps.a.data(), taps.b.data(),
                     ScaleHalfSizes[s], offsets, tables.weightsA.data() + first,
                     tables.weightsB.data() + first, out);
  for (int c = 0; c < kGridCols; ++c) {
    std::int32_t* cell = responses + ResponseIndex(r * kGridCols + c, s, 0);
    for (int k = 0; k < kOrientations; ++k) cell[k] = out[k * kCellLanes + c];
  }
}

}  // namespace

int FilterBankResponses(const ImageRef& image, std::int32_t* responses, const GridParams& grid) {
  Work w;
  if (!Allocate(w)) return -1;
  PhaseOrder(image.pixels, w.image.get());
  // Where tap t of the grid row's first cell lies in a plane (column x + 30 at phase
  // (x + 30) mod 6, slot (x + 30) / 6); the row's other cells follow it slot by slot.
  int offsets[2 * kMaxHalf + 1];
  for (int t = -kMaxHalf; t <= kMaxHalf; ++t) {
    const int u = grid.firstCol + kPhases * kPhaseLead + t;
    offsets[t + kMaxHalf] = u % kPhases * kPhaseStride + u / kPhases;
  }
  const Derived& tables = DerivedTables();
  for (int r = 0; r < kGridRows; ++r) {
    ColumnSums(w.image.get(), grid.origin + grid.rowStep * r, w);
    for (int s = 0; s < kScales; ++s) {
      const ScaleTaps& t = tables.taps[s];
      VerticalPlanesSimd(w.even.get(), w.odd.get(), t.evenPairs.data(), t.oddPairs.data(),
                         t.evenCount, t.oddCount, w.planes.get());
      HorizontalPass(tables, s, r, offsets, w, responses);
    }
  }
  return 0;
}

}  // namespace veltrum
