#include "enrol/match_enroll_pair.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "match/agreement_table.h"
#include "match/shift_scores.h"
#include "match/shift_sums.h"

namespace veltrum {
namespace {

constexpr int kRowShiftPenalty[9] = {0, 2, 4, 8, 14, 22, 32, 44, 58};
constexpr int kColShiftPenalty[11] = {0, 1, 3, 6, 10, 15, 21, 28, 36, 45, 55};
constexpr int kDotMix = 30;

// The fine row pass steps by 2 after a full search and by 1 when it is the first pass.
constexpr std::array<SearchPass, 4> Passes(int fineStep) {
  return {{
      {0, 2, 6, 2, false},                // rows -6..6
      {8, 2, 0, 2, false},                // columns -8..8
      {0, fineStep, 1, fineStep, true},   // rows around the centre
      {1, 2, 0, 2, false},                // columns -1, +1
  }};
}
constexpr auto kFullPasses = Passes(2);
constexpr auto kFinePasses = Passes(1);
constexpr std::size_t kFinePass = 2;

ShiftScore EnrolScoreFromSums(const ShiftSums& s, int rs, int cs) {
  if (s.dotWeight == 0 || s.agreementWeight == 0) return {false, 0, 0};
  const int dot = DotScore(s.dotSum, s.dotWeight, 90);
  const int agreement = AgreementScore(s.agreementSum, s.agreementWeight);
  const int wt = std::max(10, 85 - 3 * std::abs(rs) - std::abs(cs));
  const int pen = kRowShiftPenalty[std::abs(rs)] + kColShiftPenalty[std::abs(cs)];
  return {true, (wt * agreement + kDotMix * dot) / (wt + kDotMix) - pen, pen};
}

}  // namespace

ShiftSums EnrolCellSums(const FeatureBlock& reference, const FeatureBlock& other, int rs, int cs) {
  ShiftSums s;
  for (int r = std::max(0, -rs); r < std::min(kGridRows, kGridRows - rs); ++r) {
    for (int c = std::max(0, -cs); c < std::min(kGridCols, kGridCols - cs); ++c) {
      const int a = r * kGridCols + c, b = (r + rs) * kGridCols + (c + cs);
      const int w15 = std::min(reference.coverage15[a], other.coverage15[b]);
      s.dotSum += NibbleDot(reference.cellVectors[a], other.cellVectors[b]) * w15;
      s.dotWeight += w15;
      const int w27 = std::min(reference.coverage27[a], other.coverage27[b]);
      s.agreementSum += (CodeRowAgreement(reference.codeRows[a], other.codeRows[b]) - 28) * w27;
      s.agreementWeight += w27;
    }
  }
  return s;
}

ShiftScore ScoreEnrollShift(const FeatureBlock& reference, const FeatureBlock& other, int rs,
                            int cs) {
  return EnrolScoreFromSums(EnrolCellSums(reference, other, rs, cs), rs, cs);
}

int MatchEnrollPair(std::int8_t& shiftRow, std::int8_t& shiftCol, const PreparedCells& reference,
                    const PreparedCells& other) {
  const bool full = shiftRow == kShiftSearchFull;
  if (full) {
    shiftRow = 0;
    shiftCol = 0;
  }
  auto score = [&](int rs, int cs, int) {
    return EnrolScoreFromSums(EnrolShiftSums(reference, other, rs, cs), rs, cs);
  };
  const ShiftScore best = full ? RunShiftSearch(kFullPasses, 0, shiftRow, shiftCol, score)
                               : RunShiftSearch(kFinePasses, kFinePass, shiftRow, shiftCol, score);
  // The penalty of the chosen shift is half given back.
  return ClampRaw(best.value + best.extra / 2);
}

int MatchEnrollPair(std::int8_t& shiftRow, std::int8_t& shiftCol, const FeatureBlock& reference,
                    const FeatureBlock& other) {
  PreparedCells preparedReference, preparedOther;
  PrepareCells(reference, preparedReference);
  PrepareCells(other, preparedOther);
  return MatchEnrollPair(shiftRow, shiftCol, preparedReference, preparedOther);
}

EnrolPairMatch BestEnrolBlock(const FeatureBlock& reference, const FeatureBlock* blocks) {
  PreparedCells preparedReference, other;
  PrepareCells(reference, preparedReference);
  EnrolPairMatch best;
  for (int g = 0; g < 3; ++g) {
    std::int8_t shiftRow = kShiftSearchFull, shiftCol = 0;
    PrepareCells(blocks[g], other);
    const int s = MatchEnrollPair(shiftRow, shiftCol, preparedReference, other);
    if (s > best.score) best = {s, g, shiftRow, shiftCol};
  }
  return best;
}

}  // namespace veltrum
