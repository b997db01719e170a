#include <algorithm>
#include <cstdlib>

#include "match/agreement_table.h"
#include "match/match_block_to_model.h"
#include "match/shift_scores.h"
#include "match/shift_search.h"

namespace veltrum {
namespace {

struct PassWeights {
  int mix;  // weight of the dot-product part
  int penaltyBase;
};
constexpr PassWeights kPassWeights[5] = {{0, 2000}, {0, 2700}, {0, 2700}, {30, 2900}, {30, 2900}};

struct Sums {
  std::int64_t sum = 0, weight = 0;
};

// The dot products matter only where the pass mixes them in; their weight sum always counts.
Sums DotSums(const VeinModel& model, const FeatureBlock& block, int rs, int cs, bool products) {
  Sums s;
  for (int i = 0; i < 8; ++i) {
    const int row = SampleRowsA[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    for (int j = 0; j < 18; ++j) {
      const int col = SampleColsA[j] + cs;
      if (col < 0 || col >= kGridCols) continue;
      const int k = i * 18 + j, cell = row * kGridCols + col;
      const int w = std::min(model.cellWeights[k], block.coverage15[cell]);
      if (products) s.sum += NibbleDot(model.cellVectors[k], block.cellVectors[cell]) * w;
      s.weight += w;
    }
  }
  return s;
}

Sums AgreementSums(const VeinModel& model, const FeatureBlock& block, int rs, int cs) {
  Sums s;
  for (int i = 0; i < 7; ++i) {
    const int row = SampleRowsB[i] + rs;
    if (row < 0 || row >= kGridRows) continue;
    for (int j = 0; j < 14; ++j) {
      const int col = SampleColsB[j] + cs;
      if (col < 0 || col >= kGridCols) continue;
      const int k = i * 14 + j, cell = row * kGridCols + col;
      const int w = std::min(model.codeWeights[k], block.coverage27[cell]);
      const int w2 = (w * w) >> 8;
      s.sum += (CodeRowAgreement(model.codeRows[k], block.codeRows[cell]) - 28) * w2;
      s.weight += w2;
    }
  }
  return s;
}

}  // namespace

ShiftScore ScoreBlockShift(const VeinModel& model, const FeatureBlock& block, int rs, int cs,
                           int pass) {
  const PassWeights& pw = kPassWeights[pass];
  const Sums a = DotSums(model, block, rs, cs, pw.mix != 0);
  const Sums b = AgreementSums(model, block, rs, cs);
  if (a.weight == 0 || b.weight == 0) return {false, 0, 0};
  const int dot = pw.mix != 0 ? DotScore(a.sum, a.weight, 80) : 0;
  const int agreement = AgreementScore(b.sum, b.weight);
  const int wt = std::max(10, 70 - 3 * std::abs(cs) - std::abs(rs));
  const int mixed = (wt * agreement + pw.mix * dot) / (wt + pw.mix);
  const int q = std::max<std::int64_t>(0, (30000 - a.weight) / 1800);
  const int factor = ((pw.penaltyBase - q * q) * 1000) / pw.penaltyBase;
  return {true, (mixed * factor) / 1000, 0};
}

}  // namespace veltrum
