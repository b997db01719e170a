// Time of one quality check per engine mode, of its two halves, and of one quality assessment,
// on a good synthetic finger.

#include <benchmark/benchmark.h>

#include <vector>

#include "edges/finger_edges.h"
#include "quality/quality_check.h"
#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace {

void BM_Quality(benchmark::State& state) {
  VLT_FV_Init(static_cast<int>(state.range(0)));
  const std::vector<std::uint8_t> image = simfinger::FingerImage(42, 0);
  for (auto _ : state) {
    float params[6] = {0.05f, 0.1f, 0.0f, 0.0f, 0.0f, 0.0f};
    const int status = VLT_FV_Quality(image.data(), kVltImageHeight, kVltImageWidth, params);
    benchmark::DoNotOptimize(params);
    if (status != 0) {
      state.SkipWithError("the finger was refused");
      break;
    }
  }
}
BENCHMARK(BM_Quality)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

void BM_QualityAssess(benchmark::State& state) {
  VLT_FV_Init(0);
  const std::vector<std::uint8_t> image = simfinger::FingerImage(42, 0);
  for (auto _ : state) {
    float bright = 0, lines = 0;
    const int status =
        VLT_FV_QualityAssess(bright, lines, image.data(), kVltImageHeight, kVltImageWidth, 0.1f, 0);
    benchmark::DoNotOptimize(lines);
    if (status != 0) {
      state.SkipWithError("the finger was refused");
      break;
    }
  }
}
BENCHMARK(BM_QualityAssess)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();


// The quality check's two halves in mode 0: the edge search, and the verdict from the edges.
void BM_QualityEdges(benchmark::State& state) {
  VLT_FV_Init(0);
  const std::vector<std::uint8_t> image = simfinger::FingerImage(42, 0);
  std::int16_t upper[kVltImageWidth], lower[kVltImageWidth];
  for (auto _ : state) {
    benchmark::DoNotOptimize(veltrum::FindFingerEdgesMode0(image.data(), upper, lower));
  }
}
BENCHMARK(BM_QualityEdges)->Unit(benchmark::kMillisecond);

void BM_QualityVerdict(benchmark::State& state) {
  VLT_FV_Init(0);
  const std::vector<std::uint8_t> image = simfinger::FingerImage(42, 0);
  std::int16_t upper[kVltImageWidth], lower[kVltImageWidth];
  if (veltrum::FindFingerEdgesMode0(image.data(), upper, lower) != 0) {
    return state.SkipWithError("no edges");
  }
  for (auto _ : state) {
    float params[6] = {0.05f, 0.1f, 0.081f, 0.0f, 0.0f, 0.0f};
    benchmark::DoNotOptimize(veltrum::JudgeFingerEdges(image.data(), params, upper, lower, 0));
  }
}
BENCHMARK(BM_QualityVerdict)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
