#pragma once
// One probe block against a template: the five-pass shift search.

#include <cstdint>

#include "feature/feature_block.h"
#include "match/prepared_match.h"
#include "match/shift_search.h"
#include "model/vein_model.h"

namespace veltrum {

// Score of one shift (rs, cs) in pass 0..4: the mixed dot-product and agreement parts less the
// overlap penalty; undefined where no weighted sample overlaps the grid.
ShiftScore ScoreBlockShift(const VeinModel& model, const FeatureBlock& block, int rs, int cs,
                           int pass);
// The same score from the prepared layouts.
ShiftScore ScorePreparedShift(const PreparedModel& model, const PreparedBlock& block, int rs, int cs,
                              int pass);

// shiftRow 20 asks for the full search from zero; any other centre runs passes 3 and 4 only.
// The shift bytes end at the alignment where the search stopped. Returns the raw score 0..999.
int MatchBlockToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const PreparedModel& model,
                      const PreparedBlock& block);
int MatchBlockToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const VeinModel& model,
                      const FeatureBlock& block);

// Best over the three blocks (the first block wins a tie), the shift bytes carried from one
// block to the next.
struct BlockMatch {
  int raw;
  int block;
};
BlockMatch MatchBlocksToModel(std::int8_t& shiftRow, std::int8_t& shiftCol,
                              const PreparedModel& model, const PreparedBlock* blocks);
// The same once block 0 has been matched: its raw score given, the shift bytes where it ended.
BlockMatch MatchLaterBlocksToModel(std::int8_t& shiftRow, std::int8_t& shiftCol,
                                   const PreparedModel& model, const PreparedBlock* blocks,
                                   int firstRaw);
BlockMatch MatchBlocksToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const VeinModel& model,
                              const VeinFeature& feature);
inline int MatchFeatureToModel(std::int8_t& shiftRow, std::int8_t& shiftCol,
                               const VeinModel& model, const VeinFeature& feature) {
  return MatchBlocksToModel(shiftRow, shiftCol, model, feature).raw;
}

}  // namespace veltrum
