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

int MatchBlockToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const VeinModel& model,
                      const FeatureBlock& block) {
  std::size_t first = kFirstFinePass;
  if (shiftRow == kShiftSearchFull) {
    shiftRow = 0;
    shiftCol = 0;
    first = 0;
  }
  const ShiftScore best =
      RunShiftSearch(kPasses, first, shiftRow, shiftCol, [&](int rs, int cs, int pass) {
        return ScoreBlockShift(model, block, rs, cs, pass);
      });
  return ClampRaw(best.value);
}

BlockMatch MatchBlocksToModel(std::int8_t& shiftRow, std::int8_t& shiftCol, const VeinModel& model,
                              const VeinFeature& feature) {
  BlockMatch best{0, 0};
  for (int b = 0; b < 3; ++b) {
    const int r = MatchBlockToModel(shiftRow, shiftCol, model, feature.blocks[b]);
    if (r > best.raw) best = {r, b};
  }
  return best;
}

}  // namespace veltrum
