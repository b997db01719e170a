#pragma once
// The coarse-to-fine search over grid shifts shared by matching and enrolment: passes of
// offsets around a moving centre, column offsets outer and row offsets inner.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/stage_observer.h"

namespace veltrum {

inline constexpr int kShiftSearchFull = 20;  // in shiftRow: search from zero through every pass
inline constexpr int kMaxRowShift = 6;
inline constexpr int kMaxColShift = 8;

struct SearchPass {
  int colRange, colStep, rowRange, rowStep;
  bool resetBest;
};

// A shift's score; `defined` is false where a weight sum is zero, and such a shift is never
// chosen. `extra` travels with the score (the enrolment search keeps its penalty).
struct ShiftScore {
  bool defined = true;
  int value = 0;
  int extra = 0;
};

// Runs passes first..end of `passes`; each moves the centre to its strictly best offset. The
// returned best starts at 0 (and again at every resetting pass), so a negative score never wins.
template <class ScoreFn>
ShiftScore RunShiftSearch(std::span<const SearchPass> passes, std::size_t first,
                          std::int8_t& shiftRow, std::int8_t& shiftCol, ScoreFn&& score) {
  ShiftScore best;
  for (std::size_t p = first; p < passes.size(); ++p) {
    const SearchPass& pass = passes[p];
    if (pass.resetBest) best = ShiftScore{};
    int bestDr = 0, bestDc = 0;
    for (int dc = -pass.colRange; dc <= pass.colRange; dc += pass.colStep) {
      const int cs = shiftCol + dc;
      if (std::abs(cs) > kMaxColShift) continue;
      for (int dr = -pass.rowRange; dr <= pass.rowRange; dr += pass.rowStep) {
        const int rs = shiftRow + dr;
        if (std::abs(rs) > kMaxRowShift) continue;
        const ShiftScore s = score(rs, cs, static_cast<int>(p));
        if (s.defined && s.value > best.value) {
          best = s;
          bestDr = dr;
          bestDc = dc;
        }
      }
    }
    shiftRow = static_cast<std::int8_t>(shiftRow + bestDr);
    shiftCol = static_cast<std::int8_t>(shiftCol + bestDc);
    const std::int8_t centre[2] = {shiftRow, shiftCol};
    ObserveStage("shiftSearch", "centre", centre, sizeof centre);
  }
  return best;
}

inline int ClampRaw(int score) { return score < 0 ? 0 : (score > 999 ? 999 : score); }

}  // namespace veltrum
