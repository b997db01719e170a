#pragma once
// Alignment of two enrolment blocks: every cell of the reference against the shifted other.

#include <cstdint>

#include "feature/feature_block.h"
#include "match/prepared_match.h"
#include "match/shift_search.h"
#include "match/shift_sums.h"

namespace veltrum {

// Score of the other block shifted by (rs, cs) against the reference, penalty subtracted; the
// penalty travels in `extra`. Undefined where a weight sum is zero.
ShiftScore ScoreEnrollShift(const FeatureBlock& reference, const FeatureBlock& other, int rs,
                            int cs);
// Its sums cell by cell: the tested reference of EnrolShiftSums (match/shift_sums.h).
ShiftSums EnrolCellSums(const FeatureBlock& reference, const FeatureBlock& other, int rs, int cs);

// shiftRow 20 runs all four passes from zero; any other centre starts at the fine pass. Both
// blocks need expanded codes and both coverage maps. Returns the raw score 0..999.
int MatchEnrollPair(std::int8_t& shiftRow, std::int8_t& shiftCol, const FeatureBlock& reference,
                    const FeatureBlock& other);
int MatchEnrollPair(std::int8_t& shiftRow, std::int8_t& shiftCol, const PreparedCells& reference,
                    const PreparedCells& other);

// The best of three blocks of another capture against `reference`, each searched in full: its
// score (strictly greater wins, from 0, so the lowest block keeps a tie), block and shifts.
struct EnrolPairMatch {
  int score = 0;
  int block = 0;
  std::int8_t shiftRow = 0, shiftCol = 0;
};
EnrolPairMatch BestEnrolBlock(const FeatureBlock& reference, const FeatureBlock* blocks);

}  // namespace veltrum
