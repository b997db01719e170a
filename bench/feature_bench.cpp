// Cost of the feature steps after preprocessing: one block (filter bank, nibbles, codes), the
// filter bank alone, one tilt of the region, and each step after the filter bank (edge pairs,
// nibbles, codes, coverage, coarse vector, unpacking, enrolment merge), on a preprocessed
// synthetic finger.

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <vector>

#include "enrol/merge_enroll_features.h"
#include "feature/cell_codes.h"
#include "feature/cell_nibbles.h"
#include "feature/compute_feature_block.h"
#include "feature/coverage.h"
#include "feature/edge_pairs.h"
#include "feature/feature_block.h"
#include "feature/filter_bank.h"
#include "feature/refine_feature.h"
#include "feature/rotate_region.h"
#include "feature/unpack_feature_block.h"
#include "preprocess/preprocess_image.h"
#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace {

// A synthetic finger through preprocessing: the 140 x 120 image and mask a block starts from.
struct Preprocessed {
  std::vector<std::uint8_t> image = simfinger::FingerImage(42, 0);
  std::vector<std::uint8_t> reference = std::vector<std::uint8_t>(16800);
  std::vector<std::uint8_t> mask = std::vector<std::uint8_t>(76800);
  std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(veltrum::kIntegralScratchBytes);
  std::array<std::int16_t, 320> upper{}, lower{};
  bool ok = false;
  Preprocessed() {
    VLT_FV_Init(0);
    veltrum::ImageRef out{};
    ok = veltrum::PreprocessImage(reference.data(), {320, 240, image.data()}, out, scratch.data(),
                                  upper.data(), lower.data(), mask.data()) == 0;
  }
  veltrum::ImageRef Enhanced() { return {veltrum::kOutWidth, veltrum::kOutHeight, image.data()}; }
};

void BM_ComputeFeatureBlock(benchmark::State& state) {
  Preprocessed p;
  if (!p.ok) return state.SkipWithError("preprocessing failed");
  veltrum::FeatureBlock block{}, sample{};
  std::vector<std::int32_t> work(veltrum::kResponseEntries);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        veltrum::ComputeFeatureBlock(p.Enhanced(), block, sample, p.mask.data(), work.data()));
  }
}
BENCHMARK(BM_ComputeFeatureBlock)->Unit(benchmark::kMillisecond);

void BM_FilterBankResponses(benchmark::State& state) {
  Preprocessed p;
  if (!p.ok) return state.SkipWithError("preprocessing failed");
  std::vector<std::int32_t> responses(veltrum::kResponseEntries);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        veltrum::FilterBankResponses(p.Enhanced(), responses.data(), veltrum::GridParams{25}));
  }
}
BENCHMARK(BM_FilterBankResponses)->Unit(benchmark::kMillisecond);

void BM_RotateRegion(benchmark::State& state) {
  Preprocessed p;
  if (!p.ok) return state.SkipWithError("preprocessing failed");
  for (auto _ : state) {
    auto image = p.image;
    auto mask = p.mask;
    benchmark::DoNotOptimize(veltrum::RotateRegion(image.data(), mask.data(), 0.1f));
  }
}
BENCHMARK(BM_RotateRegion)->Unit(benchmark::kMicrosecond);

// Block 0 of the preprocessed finger with its responses and work table, before unpacking.
struct ComputedBlock {
  Preprocessed p;
  veltrum::FeatureBlock block{}, sample{};
  std::vector<std::int32_t> work = std::vector<std::int32_t>(veltrum::kResponseEntries);
  std::vector<std::int32_t> responses = std::vector<std::int32_t>(veltrum::kResponseEntries);
  bool ok = p.ok && veltrum::ComputeFeatureBlock(p.Enhanced(), block, sample, p.mask.data(),
                                                 work.data(), responses.data()) == 0;
  veltrum::GridParams Grid() const { return veltrum::ComputeGridOrigin(&block.edgePairs[0][0]); }
};

void BM_FindEdgePairs(benchmark::State& state) {
  Preprocessed p;
  if (!p.ok) return state.SkipWithError("preprocessing failed");
  std::uint8_t pairs[140];
  for (auto _ : state) {
    veltrum::FindEdgePairs(pairs, p.mask.data());
    benchmark::DoNotOptimize(pairs);
  }
}
BENCHMARK(BM_FindEdgePairs)->Unit(benchmark::kMicrosecond);

void BM_ComputeCellNibbles(benchmark::State& state) {
  ComputedBlock b;
  if (!b.ok) return state.SkipWithError("block failed");
  for (auto _ : state) {
    veltrum::ComputeCellNibbles(b.block, b.sample, b.responses.data());
    benchmark::DoNotOptimize(b.block.cellVectors);
  }
}
BENCHMARK(BM_ComputeCellNibbles)->Unit(benchmark::kMicrosecond);

void BM_PackCellCodes(benchmark::State& state) {
  ComputedBlock b;
  if (!b.ok) return state.SkipWithError("block failed");
  for (auto _ : state) {
    veltrum::PackCellCodes(&b.block.codeRows[0][0], &b.sample.codeRows[0][0], b.responses.data(),
                           b.work.data());
    benchmark::DoNotOptimize(b.block.codeRows);
  }
}
BENCHMARK(BM_PackCellCodes)->Unit(benchmark::kMicrosecond);

// Both radii, as every unpacking rebuilds them.
void BM_CoverageGrid(benchmark::State& state) {
  ComputedBlock b;
  if (!b.ok) return state.SkipWithError("block failed");
  const veltrum::GridParams grid = b.Grid();
  for (auto _ : state) {
    veltrum::ComputeCoverageGrid(b.block.coverage15, &b.block.edgePairs[0][0], 15, grid);
    veltrum::ComputeCoverageGrid(b.block.coverage27, &b.block.edgePairs[0][0], 27, grid);
    benchmark::DoNotOptimize(b.block.coverage15);
  }
}
BENCHMARK(BM_CoverageGrid)->Unit(benchmark::kMicrosecond);

void BM_RefineFeature(benchmark::State& state) {
  ComputedBlock b;
  if (!b.ok) return state.SkipWithError("block failed");
  for (auto _ : state) {
    veltrum::RefineFeature(b.block, b.block.coverage27, b.work.data(), false);
    benchmark::DoNotOptimize(b.block.coarse);
  }
}
BENCHMARK(BM_RefineFeature)->Unit(benchmark::kMicrosecond);

// Code expansion and both maps, from a packed block copied in each time.
void BM_UnpackFeatureBlock(benchmark::State& state) {
  ComputedBlock b;
  if (!b.ok) return state.SkipWithError("block failed");
  veltrum::FeatureBlock block;
  for (auto _ : state) {
    block = b.block;
    benchmark::DoNotOptimize(veltrum::UnpackFeatureBlock(block, veltrum::kGridCells, true));
  }
}
BENCHMARK(BM_UnpackFeatureBlock)->Unit(benchmark::kMicrosecond);

// The block merged with itself shifted by (1, -2), as enrolment's first merge.
void BM_MergeEnrollFeatures(benchmark::State& state) {
  ComputedBlock b;
  if (!b.ok || veltrum::UnpackFeatureBlock(b.block, veltrum::kGridCells, true) != 0) {
    return state.SkipWithError("block failed");
  }
  veltrum::FeatureBlock result;
  std::vector<std::int32_t> table(veltrum::kResponseEntries);
  auto running = std::make_unique<veltrum::MergeRunning>();
  for (auto _ : state) {
    veltrum::StartMerge(*running, b.block);
    veltrum::MergeEnrollFeatures(result, b.block, b.block, b.work.data(), b.work.data(), *running,
                                 1, -2, 10, table.data());
    benchmark::DoNotOptimize(result.codeRows);
  }
}
BENCHMARK(BM_MergeEnrollFeatures)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
