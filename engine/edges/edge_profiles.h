#pragma once
// Building blocks shared by the edge searches: the gradient plane, row profiles over column
// windows, weighted window searches, outward peak search, and track interpolation.

#include <array>
#include <cstdint>

namespace veltrum {

inline constexpr int kEdgeRows = 240;
inline constexpr int kTrackEntries = 33;  // entry j stands for column 10 j

// mapped = ScaledRootTable[image]; gradient = |H(r-1) - H(r+1)| / 4 with H the 1-2-1 row sum of
// mapped, 0 on the border rows and columns. Both planes are 320 x 240 and fully written.
// In the widest vectors the processor has; BuildGradientPlanePlain is its plain reference.
void BuildGradientPlane(const std::uint8_t* image, std::uint8_t* mapped, std::uint8_t* gradient);
void BuildGradientPlanePlain(const std::uint8_t* image, std::uint8_t* mapped,
                             std::uint8_t* gradient);

// Per 10-column strip j (columns 10 j .. 10 j + 9): profiles[j][r] = sum of
// |image(r + 1, c) - image(r - 1, c)| over the strip's columns for rows 1..238, 0 in rows 0 and
// 239. Worked row by row, so the plane is read once in order.
inline constexpr int kEdgeStrips = 32;
using StripProfiles = std::array<std::array<std::int32_t, kEdgeRows>, kEdgeStrips>;
void StripDifferenceProfiles(const std::uint8_t* image, StripProfiles& profiles);

// profile[r] = sum of plane(r, c) over columns c0..c1, rows 0..239.
void SumColumns(const std::uint8_t* plane, int c0, int c1, std::int32_t* profile);

// From a copy: p[r] = (p[r-1] + 2 p[r] + p[r+1] + rounding) / 4 for rows first..last.
void Smooth121(std::int32_t* profile, int first, int last, int rounding);

// Of rows centre+d (d = -8..8) inside lo..hi, the one with the greatest (peak - |d|) * profile
// above 0; the smallest row wins ties. -1 when no row scores above 0.
int BestWeightedRow(const std::int32_t* profile, int centre, int lo, int hi, int peak);

// Outward search from row 120 on the log of profile / 5, for d = 0..maxDistance. A peak more
// than 10 rows beyond the current best must be `strongerBy` times as strong; with
// `onlyWideSpan` that rule holds only once the two distances add up to more than 80.
struct EdgePair {
  int upper;
  int lower;
};
EdgePair SearchOutwardPeaks(const std::int32_t* profile, int maxDistance, double strongerBy,
                            bool onlyWideSpan);

// Tracks the upper and lower edge strip by strip, from `from` to `to` (inclusive) in steps of
// `step` (-1 leftwards, +1 rightwards; nothing when `to` lies behind `from`), each strip
// starting at its neighbour nearer to column 160. Strip j sums the gradient over 20
// columns on the centre's side of column 10 j. With strip rows given, a strip whose own row
// lies within 5 rows of its neighbour's track keeps it. A lower edge that is lost ends the
// walk. Tracks are arrays of kTrackEntries.
struct StripRows {
  const std::int32_t* upper;
  const std::int32_t* lower;
};
void TrackStrips(const std::uint8_t* gradient, std::int32_t* trackUpper, std::int32_t* trackLower,
                 int from, int to, int step, int rounding, const StripRows* strips);

// Clears both 320-column arrays, then interpolates the tracks linearly over entries j0..j1.
void WriteInterpolatedEdges(const std::int32_t* trackUpper, const std::int32_t* trackLower, int j0,
                            int j1, std::int16_t* upper, std::int16_t* lower);

// First and last entry in 1..31 with both tracks non-zero (1 and 31 when none).
void TrackedSpan(const std::int32_t* trackUpper, const std::int32_t* trackLower, int& first,
                 int& last);

}  // namespace veltrum
