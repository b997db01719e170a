// Time of one quality check per engine mode, and of one quality assessment, on a good
// synthetic finger.

#include <benchmark/benchmark.h>

#include <vector>

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

}  // namespace

BENCHMARK_MAIN();
