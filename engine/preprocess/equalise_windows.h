#pragma once
// The ranking of EqualiseLocalHistogram. A rank only needs the number of window values below a
// few thresholds, so the window is never held as one 256-bin histogram: every column keeps the
// counts of its 31 window rows (one update per pixel entering or leaving as the rows move down),
// by value and by group of 16 values. Along a row the window's group counts slide three columns
// per step; the value counts of a group are summed over the window's columns only when a rank
// needs them, and brought up to date by the columns that entered and left since.

#include <cstdint>

#include "core/image_ref.h"

namespace veltrum {

inline constexpr int kEqualiseReach = 15;  // the window is 2 x 15 + 1 wide and high
inline constexpr int kEqualiseLanes = 16;  // values per group, and groups

struct EqualiseWork {
  std::uint8_t copy[kFramePixels];  // the image before any pixel is ranked
  // Per column, the counts of its mask pixels in the window rows, by group and value in the
  // group, and by group. As wide as the window's sums, so that those are plain vector adds.
  std::uint16_t fine[kFrameWidth][kEqualiseLanes * kEqualiseLanes];
  std::uint16_t coarse[kFrameWidth][kEqualiseLanes];
};

// Ranks the mask pixels of rows t..b (16 <= t <= b <= 224) of `image`, which the caller has
// cleared, from work.copy; the sums of counts in the widest vectors the processor has.
void RankEqualiseRows(EqualiseWork& work, const std::uint8_t* mask, int t, int b,
                      std::uint8_t* image);
// The same with plain loops: the reference of the vector sums.
void RankEqualiseRowsPlain(EqualiseWork& work, const std::uint8_t* mask, int t, int b,
                           std::uint8_t* image);

}  // namespace veltrum
