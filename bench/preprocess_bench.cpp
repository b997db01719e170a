// Cost of the preprocessing pipeline and of its heaviest steps on a synthetic finger.

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "preprocess/preprocess_image.h"
#include "preprocess/preprocess_steps.h"
#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace {

void BM_PreprocessImage(benchmark::State& state) {
  VLT_FV_Init(static_cast<int>(state.range(0)));
  const auto finger = simfinger::FingerImage(1, 0);
  std::vector<std::uint8_t> image, reference(16800), mask(76800),
      scratch(veltrum::kIntegralScratchBytes);
  std::array<std::int16_t, 320> upper{}, lower{};
  for (auto _ : state) {
    image = finger;
    veltrum::ImageRef out{};
    const int status =
        veltrum::PreprocessImage(reference.data(), {320, 240, image.data()}, out, scratch.data(),
                                 upper.data(), lower.data(), mask.data());
    benchmark::DoNotOptimize(status);
  }
}
BENCHMARK(BM_PreprocessImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The finger-wide steps on a 120-row finger mask.
struct Planes {
  std::vector<std::uint8_t> image = simfinger::FingerImage(1, 0);
  std::vector<std::uint8_t> mask = std::vector<std::uint8_t>(76800, 0);
  std::vector<std::uint8_t> inner = std::vector<std::uint8_t>(76800, 0);
  std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(veltrum::kIntegralScratchBytes);
  Planes() {
    VLT_FV_Init(0);
    for (int i = 60 * 320; i < 180 * 320; ++i) mask[i] = 1;
  }
};

// Each run works on a fresh copy of the finger image.
template <class Step>
void RunOnCopies(benchmark::State& state, Step step) {
  Planes p;
  for (auto _ : state) {
    auto image = p.image;
    benchmark::DoNotOptimize(step(p, image.data()));
  }
}

void BM_MedianInMask(benchmark::State& state) {
  RunOnCopies(state, [](Planes& p, std::uint8_t* image) {
    return veltrum::MedianInMask(image, p.mask.data(), 60, 179);
  });
}
BENCHMARK(BM_MedianInMask)->Unit(benchmark::kMillisecond);

void BM_ValleyResponse(benchmark::State& state) {
  RunOnCopies(state, [](Planes& p, std::uint8_t* valley) {
    return veltrum::ValleyResponse(valley, p.mask.data(), p.inner.data(), 60, 179);
  });
}
BENCHMARK(BM_ValleyResponse)->Unit(benchmark::kMillisecond);

// One pass; the pipeline runs two.
void BM_SmoothInMask(benchmark::State& state) {
  RunOnCopies(state, [](Planes& p, std::uint8_t* valley) {
    return veltrum::SmoothInMask(p.mask.data(), valley, 60, 179);
  });
}
BENCHMARK(BM_SmoothInMask)->Unit(benchmark::kMillisecond);

void BM_CombineValleyImage(benchmark::State& state) {
  Planes p;
  for (auto _ : state) {
    auto image = p.image;
    veltrum::CombineValleyImage(image.data(), p.inner.data());
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_CombineValleyImage)->Unit(benchmark::kMillisecond);

void BM_EqualiseLocalHistogram(benchmark::State& state) {
  RunOnCopies(state, [](Planes& p, std::uint8_t* image) {
    return veltrum::EqualiseLocalHistogram(image, p.mask.data(), 60, 179);
  });
}
BENCHMARK(BM_EqualiseLocalHistogram)->Unit(benchmark::kMillisecond);

void BM_BrightenLocalMean(benchmark::State& state) {
  RunOnCopies(state, [](Planes& p, std::uint8_t* image) {
    return veltrum::BrightenLocalMean(image, p.mask.data(), p.scratch.data(), 60, 179);
  });
}
BENCHMARK(BM_BrightenLocalMean)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
