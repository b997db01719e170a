#include <algorithm>
#include <cstdlib>

#include "match/agreement_table.h"
#include "match/match_block_to_model.h"
#include "match/shift_scores.h"
#include "match/shift_search.h"
#include "match/shift_sums.h"

namespace veltrum {
namespace {

struct PassWeights {
  int mix;  // weight of the dot-product part
  int penaltyBase;
};
constexpr PassWeights kPassWeights[5] = {{0, 2000}, {0, 2700}, {0, 2700}, {30, 2900}, {30, 2900}};

bool MixesDots(int pass) { return kPassWeights[pass].mix != 0; }

ShiftScore ScoreFromSums(const ShiftSums& s, int rs, int cs, int pass) {
  const PassWeights& pw = kPassWeights[pass];
  if (s.dotWeight == 0 || s.agreementWeight == 0) return {false, 0, 0};
  const int dot = pw.mix != 0 ? DotScore(s.dotSum, s.dotWeight, 80) : 0;
  const int agreement = AgreementScore(s.agreementSum, s.agreementWeight);
  const int wt = std::max(10, 70 - 3 * std::abs(cs) - std::abs(rs));
  const int mixed = (wt * agreement + pw.mix * dot) / (wt + pw.mix);
  const int q = std::max<std::int64_t>(0, (30000 - s.dotWeight) / 1800);
  const int factor = ((pw.penaltyBase - q * q) * 1000) / pw.penaltyBase;
  return {true, (mixed * factor) / 1000, 0};
}

}  // namespace

// The dot products matter only where the pass mixes them in; their weight sum always counts.
ShiftSums SampleShiftSums(const VeinModel& model, const FeatureBlock& block, int rs, int cs,
                          bool products) {
  ShiftSums s;
  for (int i = 0; i < 8; ++i) {
    const int row = SampleRowsA[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    for (int j = 0; j < 18; ++j) {
      const int col = SampleColsA[j] + cs;
      if (col < 0 || col >= kGridCols) continue;
      const int k = i * 18 + j, cell = row * kGridCols + col;
      const int w = std::min(model.cellWeights[k], block.coverage15[cell]);
      if (products) s.dotSum += NibbleDot(model.cellVectors[k], block.cellVectors[cell]) * w;
      s.dotWeight += w;
    }
  }
  for (int i = 0; i < 7; ++i) {
    const int row = SampleRowsB[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    for (int j = 0; j < 14; ++j) {
      const int col = SampleColsB[j] + cs;
      if (col < 0 || col >= kGridCols) continue;
      const int k = i * 14 + j, cell = row * kGridCols + col;
      const int w = std::min(model.codeWeights[k], block.coverage27[cell]);
      const int w2 = (w * w) >> 8;
      s.agreementSum += (CodeRowAgreement(model.codeRows[k], block.codeRows[cell]) - 28) * w2;
      s.agreementWeight += w2;
    }
  }
  return s;
}

ShiftScore ScoreBlockShift(const VeinModel& model, const FeatureBlock& block, int rs, int cs,
                           int pass) {
  return ScoreFromSums(SampleShiftSums(model, block, rs, cs, MixesDots(pass)), rs, cs, pass);
}

ShiftScore ScorePreparedShift(const PreparedModel& model, const PreparedBlock& block, int rs, int cs,
                              int pass) {
  return ScoreFromSums(PreparedShiftSums(model, block, rs, cs, MixesDots(pass)), rs, cs, pass);
}

}  // namespace veltrum
