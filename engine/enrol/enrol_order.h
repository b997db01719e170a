#pragma once
// Which capture leads the merge and in what order the others join it.

#include <array>

namespace veltrum {

inline constexpr int kMaxEnrolImages = 3;

// score[i][j]: best pair score of image i's tilt-0 block against the blocks of image j.
using PairScores = std::array<std::array<int, kMaxEnrolImages>, kMaxEnrolImages>;

// The first image has the highest total; each later place takes the unplaced image scoring
// highest against the placed ones (strictly above 0, lowest index on a tie). Images that score
// 0 against every placed one follow in index order.
std::array<int, kMaxEnrolImages> EnrolOrder(const PairScores& score, int images);

// Weight in tenths of the third capture in the merge, from its score against the merge: 0 to 9.
inline int ThirdImageWeight(int score) { return (5 * (score < 600 ? score : 600) + 175) / 350; }

}  // namespace veltrum
