// Time of one VLT_FV_ExtractFeature call on a synthetic finger.

#include <benchmark/benchmark.h>

#include <vector>

#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace {

void BM_ExtractFeature(benchmark::State& state) {
  VLT_FV_Init(0);
  const std::vector<std::uint8_t> image = simfinger::FingerImage(42, 0);
  std::vector<unsigned char> feature(kVltFeatureBytes);
  for (auto _ : state) {
    const int status =
        VLT_FV_ExtractFeature(image.data(), kVltImageHeight, kVltImageWidth, feature.data());
    benchmark::DoNotOptimize(feature.data());
    if (status != 0) {
      state.SkipWithError("extraction failed");
      break;
    }
  }
}
BENCHMARK(BM_ExtractFeature)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
