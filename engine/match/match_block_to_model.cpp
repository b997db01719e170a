#include "match/match_block_to_model.h"

#include <array>

#include "match/shift_search.h"

namespace veltrum {
namespace {

constexpr std::array<SearchPass, 5> kPasses = {{
    {9, 3, 6, 3, false},  // 7 x 5 shifts around zero
    {0, 4, 2, 4, true},   // rows -2, +2
    {2, 4, 0, 2, false},  // columns -2, +2
    {0, 1, 1, 1, true},   // rows -1, 0, +1
    {1, 2, 0, 2, false},  // columns -1, +1
}};
constexpr std::size_t kFirstFinePass = 3;

}  // namespace

int MatchBlockToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const PreparedModel& model,
                      const PreparedBlock& block) {
  std::size_t first = kFirstFinePass;
  if (shiftRow == kShiftSearchFull) {
    shiftRow = 0;
    shiftCol = 0;
    first = 0;
  }
  const ShiftScore best =
      RunShiftSearch(kPasses, first, shiftRow, shiftCol, [&](int rs, int cs, int pass) {
        return ScorePreparedShift(model, block, rs, cs, pass);
      });
  return ClampRaw(best.value);
}

int MatchBlockToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const VeinModel& model,
                      const FeatureBlock& block) {
  PreparedModel preparedModel;
  PrepareModel(model, preparedModel);
  PreparedBlock preparedBlock;
  PrepareBlock(block, preparedBlock);
  return MatchBlockToModel(shiftRow, shiftCol, preparedModel, preparedBlock);
}

BlockMatch MatchBlocksToModel(std::int8_t& shiftRow, std::int8_t& shiftCol,
                              const PreparedModel& model, const PreparedBlock* blocks) {
  const int first = MatchBlockToModel(shiftRow, shiftCol, model, blocks[0]);
  return MatchLaterBlocksToModel(shiftRow, shiftCol, model, blocks, first);
}

BlockMatch MatchLaterBlocksToModel(std::int8_t& shiftRow, std::int8_t& shiftCol,
                                   const PreparedModel& model, const PreparedBlock* blocks,
                                   int firstRaw) {
  BlockMatch best{0, 0};
  if (firstRaw > best.raw) best = {firstRaw, 0};
  for (int b = 1; b < 3; ++b) {
    const int r = MatchBlockToModel(shiftRow, shiftCol, model, blocks[b]);
    if (r > best.raw) best = {r, b};
  }
  return best;
}

// One block laid out at a time, so that the stack holds only one.
BlockMatch MatchBlocksToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const VeinModel& model,
                              const VeinFeature& feature) {
  PreparedModel preparedModel;
  PrepareModel(model, preparedModel);
  BlockMatch best{0, 0};
  for (int b = 0; b < 3; ++b) {
    PreparedBlock block;
    PrepareBlock(feature.blocks[b], block);
    const int r = MatchBlockToModel(shiftRow, shiftCol, preparedModel, block);
    if (r > best.raw) best = {r, b};
  }
  return best;
}

}  // namespace veltrum
