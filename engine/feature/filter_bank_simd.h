#pragma once
// The filter bank's inner passes in vectors of up to 64 bytes, the widest the processor has (chosen
// at run time; a wider target uses 64 bytes of its vectors, the most the layouts below hold).
//
// Cell centres lie 6 columns apart, so the columns are kept in phase order: column x = 6k + q
// at q * 24 + k. The 22 cells of a grid row then read one tap's columns as one contiguous run,
// and the horizontal sums and magnitudes run across cells in whole vectors.

#include <cstdint>

#include "tables/filter_kernel_tables.h"

namespace veltrum {

inline constexpr int kPhases = 6;         // the column step of the grid
inline constexpr int kPhaseColumns = 24;  // 144 columns (140 and 4 of zeros) per phase
inline constexpr int kPhaseRow = kPhases * kPhaseColumns;  // 144: one row in phase order
inline constexpr int kMaxHalf = 27;                        // half size of the largest scale
inline constexpr int kTapRow = kMaxHalf + 1;               // horizontal taps d = 0..27 of one plane
inline constexpr int kTapPairs = 14;  // taps 0..27 (even) and 1..28 (odd) in pairs
// A plane's phase rows: 5 zero slots (30 columns), the 24 columns, 7 zero slots, so that taps
// up to 27 columns either side of any cell read zeros beyond the image.
inline constexpr int kPhaseLead = 5;
inline constexpr int kPhaseStride = 36;
inline constexpr int kPlaneHalf = kPhases * kPhaseStride;  // even or odd values of one plane
inline constexpr int kCellLanes = 24;  // 22 cells of a grid row rounded up to vectors

// Column sums of one grid row in phase order, two distances packed in each 32-bit entry (low
// half first): evenPairs[p] = (E[2p], E[2p + 1]), oddPairs[p] = (O[2p + 1], O[2p + 2]) for
// p = 0..13, where E[0] = above[0] and, for d = 1..28, E[d] = above[d] + below[d],
// O[d] = above[d] - below[d] (rows of kPhaseRow bytes). Also the box columns of every scale,
// E[0] + ... + E[h], at boxColumns[s * kPlaneHalf] in the planes' layout.
void PhaseColumnSumsSimd(const std::uint8_t* const* above, const std::uint8_t* const* below,
                         std::int32_t* evenPairs, std::int32_t* oddPairs, std::int32_t* boxColumns);

// The nine vertical planes of one scale: per plane k, the even sum over the first `evenCount`
// tap pairs and the odd sum over the first `oddCount` (taps packed like the sums, at
// [p * 9 + k]), written to planes[(2k) * kPlaneHalf] (even) and
// [(2k + 1) * kPlaneHalf] (odd), phase q's column k at q * kPhaseStride + kPhaseLead + k.
void VerticalPlanesSimd(const std::int32_t* evenPairs, const std::int32_t* oddPairs,
                        const std::int32_t* evenTaps, const std::int32_t* oddTaps, int evenCount,
                        int oddCount, std::int32_t* planes);

// One grid row at one scale: the cells' box sums from the scale's box columns and the four
// horizontal sums of every plane j across the cells, with taps a[j * kTapRow + d],
// b[j * kTapRow + d] (d = 0..h) and the column offset `offsets[t + kMaxHalf]` of the first
// cell's tap t within a plane; then the magnitudes of orientations j and 16 - j, weights and
// results at [orientation * kCellLanes + cell].
void CellMagnitudesSimd(const std::int32_t* planes, const std::int32_t* boxColumns, const double* a,
                        const double* b, int h, const int* offsets, const std::int32_t* weightsA,
                        const std::int32_t* weightsB, std::int32_t* out);

}  // namespace veltrum
