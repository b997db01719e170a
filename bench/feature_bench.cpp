// Cost of the feature steps after preprocessing: one block (filter bank, nibbles, codes), the
// filter bank alone and one tilt of the region, on a preprocessed synthetic finger.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "feature/compute_feature_block.h"
#include "feature/feature_block.h"
#include "feature/filter_bank.h"
#include "feature/rotate_region.h"
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

}  // namespace

BENCHMARK_MAIN();
