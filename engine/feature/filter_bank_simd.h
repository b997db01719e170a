#pragma once
// The filter bank's inner passes in the widest vectors the processor has (chosen at run time).
// Buffers are padded so that whole vectors may be read and written past the used entries.

#include <cstdint>

#include "core/image_ref.h"
#include "tables/filter_kernel_tables.h"

namespace veltrum {

inline constexpr int kSimdRow = kOutWidth;  // row stride of the column sums
inline constexpr int kSimdColumns = 144;     // 140 columns rounded up to whole vectors
inline constexpr int kSimdPlanes = 16;       // 9 planes rounded up to whole vectors
inline constexpr int kSimdColumnValues = 2 * kFilterPlanes;  // a column: 9 even, 9 odd sums

// One plane's vertical sums of columns 0..kSimdColumns - 1: se = centreWeight * even[0][x] +
// sum of ce[d] * even[d][x], so = sum of co[d] * odd[d - 1][x], for d = 1..h (rows of `even`
// and `odd` 140 apart, readable up to column kSimdColumns - 1 of the last).
void VerticalPlaneSumsSimd(const std::int16_t* even, const std::int16_t* odd,
                           const std::int16_t* ce, const std::int16_t* co, int h,
                           int centreWeight, std::int32_t* se, std::int32_t* so);

// One cell's four horizontal sums per plane j (kSimdPlanes entries each, the first 9 used),
// from the column values around `centre` (kSimdColumnValues apart) and the taps a[d][j], b[d][j]
// (rows kSimdPlanes apart, d = 0..h).
void HorizontalCellSumsSimd(const double* centre, const double* a, const double* b, int h,
                            double* evenSym, double* oddSym, double* evenCross,
                            double* oddCross);

}  // namespace veltrum
