#include "search/search_models.h"

#include <hwy/cache_control.h>

#include "core/alloc.h"
#include "core/status.h"
#include "match/match_block_to_model.h"
#include "match/shift_search.h"
#include "model/possible_content.h"
#include "model/vein_model.h"
#include "search/search_stages.h"

namespace veltrum {
namespace {

const unsigned char* ModelAt(const unsigned char* models, std::size_t i) {
  return models + i * sizeof(VeinModel);
}

// The processor's own prefetching does not run far enough ahead through a list of 3352-byte
// templates; stage 1 asks for the lines of the template four places ahead.
constexpr std::size_t kPrefetchAhead = 4;
void PrefetchLines(const unsigned char* model, std::size_t from) {
  for (std::size_t offset = from; offset < sizeof(VeinModel); offset += 64) hwy::Prefetch(model + offset);
}

// Where a model's one-block match of stage 2 ended; stage 3 goes on from there.
struct BlockZeroEnd {
  bool matched = false;
  std::int8_t shiftRow = 0, shiftCol = 0;
};

bool AllPossible(const unsigned char* models, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!ModelBytesPossible(ModelAt(models, i))) return false;
  }
  return true;
}

// Stage 1: the coarse value of every model (checked first when asked), counted in `histogram`.
int ScreenCoarse(const unsigned char* models, std::size_t count, const VeinFeature& probe,
                 bool checkTemplates, std::int16_t* scores, std::int32_t* histogram) {
  // Each template is checked just before its coarse vector is read, while it is in the cache.
  std::int8_t coarse[kCoarseEntries];
  for (int k = 0; k < kCoarseEntries; ++k) coarse[k] = probe.blocks[0].coarse[k];
  const std::size_t readFrom = checkTemplates ? 0 : offsetof(VeinModel, coarse);
  for (std::size_t i = 0; i < count; ++i) {
    if (i + kPrefetchAhead < count) {
      PrefetchLines(ModelAt(models, i + kPrefetchAhead), readFrom);
    }
    if (checkTemplates && !ModelBytesPossible(ModelAt(models, i))) return kImpossibleTemplate;
    const auto* modelCoarse =
        reinterpret_cast<const std::int8_t*>(ModelAt(models, i) + offsetof(VeinModel, coarse));
    scores[i] = CoarseScreenValueSimd(coarse, modelCoarse);
    ++histogram[scores[i]];
  }
  return kOk;
}

// Stage 2: the one-block match of the models at or above t1 (0 for the others), counted in
// `histogram`, and where each match ended.
void MatchFirstBlock(const unsigned char* models, std::size_t count, const PreparedBlock& block,
                     int t1, std::int16_t* scores, BlockZeroEnd* ends, std::int32_t* histogram) {
  PreparedModel model;
  for (std::size_t i = 0; i < count; ++i) {
    int s = 0;
    if (scores[i] >= t1) {
      std::int8_t shiftRow = kShiftSearchFull, shiftCol = 0;
      PrepareModel(ModelAt(models, i), model);
      s = MatchBlockToModel(shiftRow, shiftCol, model, block);
      ends[i] = {true, shiftRow, shiftCol};
    }
    scores[i] = static_cast<std::int16_t>(s);
    ++histogram[s];
  }
}

// Stage 3: the three-block match of the models at or above t2; the first best wins.
void MatchAllBlocks(const unsigned char* models, std::size_t count, const PreparedBlock* blocks,
                    int t2, const std::int16_t* scores, const BlockZeroEnd* ends, int* position,
                    int* raw) {
  *raw = 0;
  *position = 0;
  PreparedModel model;
  for (std::size_t i = 0; i < count; ++i) {
    if (scores[i] < t2) continue;
    PrepareModel(ModelAt(models, i), model);
    std::int8_t shiftRow = kShiftSearchFull, shiftCol = 0;
    int best = 0;
    if (ends[i].matched) {  // block 0 from zero again would end where stage 2 left it
      shiftRow = ends[i].shiftRow;
      shiftCol = ends[i].shiftCol;
      best = MatchLaterBlocksToModel(shiftRow, shiftCol, model, blocks, scores[i]).raw;
    } else {
      best = MatchBlocksToModel(shiftRow, shiftCol, model, blocks).raw;
    }
    if (best > *raw) {
      *raw = best;
      *position = static_cast<int>(i);
    }
  }
}

}  // namespace

int SearchModels(const unsigned char* models, std::size_t count, const VeinFeature& probe,
                 int* position, int* raw, SearchChecks checks) {
  auto scores = AllocArray<std::int16_t>(count);
  auto coarseHistogram = AllocZeroedArray<std::int32_t>(kCoarseLevels);
  auto rawHistogram = AllocZeroedArray<std::int32_t>(kRawLevels);
  auto blocks = AllocArray<PreparedBlock>(3);
  auto ends = AllocArray<BlockZeroEnd>(count);
  if (!scores || !coarseHistogram || !rawHistogram || !blocks || !ends) {
    if (checks.templates && !AllPossible(models, count)) return kImpossibleTemplate;
    return checks.featurePossible ? kFailed : kImpossibleFeature;
  }

  if (const int status =
          ScreenCoarse(models, count, probe, checks.templates, scores.get(), coarseHistogram.get());
      status != kOk) {
    return status;
  }
  if (!checks.featurePossible) return kImpossibleFeature;
  const int t1 = KeepThreshold(coarseHistogram.get(), kCoarseLevels, KeepCount(count, kFirstKeep));

  PrepareBlock(probe.blocks[0], blocks[0]);
  MatchFirstBlock(models, count, blocks[0], t1, scores.get(), ends.get(), rawHistogram.get());
  const int t2 = KeepThreshold(rawHistogram.get(), kRawLevels, KeepCount(count, kSecondKeep));

  PrepareBlock(probe.blocks[1], blocks[1]);
  PrepareBlock(probe.blocks[2], blocks[2]);
  MatchAllBlocks(models, count, blocks.get(), t2, scores.get(), ends.get(), position, raw);
  return kOk;
}

}  // namespace veltrum
