// Cost of the preprocessing pipeline and of its heaviest steps on a synthetic finger.

#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/stage_observer.h"
#include "edges/finger_edges.h"
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

// The geometric and edge steps on the planes they meet in the pipeline, taken from one run
// over the synthetic finger (engine mode 0).
class Recorded : public veltrum::StageObserver {
 public:
  Recorded() {
    VLT_FV_Init(0);
    auto image = simfinger::FingerImage(1, 0);
    std::vector<std::uint8_t> reference(16800), mask(76800),
        scratch(veltrum::kIntegralScratchBytes);
    std::array<std::int16_t, 320> upper{}, lower{};
    input = image;
    veltrum::ImageRef out{};
    const veltrum::ListenToStages listen(*this);
    veltrum::PreprocessImage(reference.data(), {320, 240, image.data()}, out, scratch.data(),
                             upper.data(), lower.data(), mask.data());
  }
  void Stage(const char* stage, const char* part, const void* data, std::size_t bytes) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    parts[std::string(stage) + "/" + part].assign(p, p + bytes);
  }
  std::vector<std::uint8_t>& Plane(const char* key) { return parts.at(key); }
  std::vector<std::int16_t> Edge(const char* key) {
    const auto& b = parts.at(key);
    std::vector<std::int16_t> e(b.size() / 2);
    std::memcpy(e.data(), b.data(), b.size());
    return e;
  }
  template <class T>
  T Value(const char* key, int i) {
    T v;
    std::memcpy(&v, parts.at(key).data() + i * sizeof(T), sizeof(T));
    return v;
  }

  std::vector<std::uint8_t> input;
  std::map<std::string, std::vector<std::uint8_t>> parts;
};

Recorded& Run() {
  static Recorded recorded;
  return recorded;
}

void BM_SuppressEdgeGlare(benchmark::State& state) {
  auto& r = Run();
  std::vector<std::uint8_t> out(76800);
  for (auto _ : state) benchmark::DoNotOptimize(veltrum::SuppressEdgeGlare(r.input.data(), out.data()));
}
BENCHMARK(BM_SuppressEdgeGlare)->Unit(benchmark::kMicrosecond);

void BM_SuppressSaturatedBands(benchmark::State& state) {
  auto& r = Run();
  std::vector<std::uint8_t> out(76800);
  for (auto _ : state) {
    benchmark::DoNotOptimize(veltrum::SuppressSaturatedBands(r.input.data(), out.data()));
  }
}
BENCHMARK(BM_SuppressSaturatedBands)->Unit(benchmark::kMicrosecond);

// Arg: engine mode (0, or 1 for the strip search).
void BM_FindFingerEdges(benchmark::State& state) {
  auto& r = Run();
  VLT_FV_Init(static_cast<int>(state.range(0)));
  std::array<std::int16_t, 320> upper{}, lower{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        veltrum::FindFingerEdges(r.Plane("glare/plane").data(), upper.data(), lower.data()));
  }
  VLT_FV_Init(0);
}
BENCHMARK(BM_FindFingerEdges)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_FillFingerMask(benchmark::State& state) {
  auto& r = Run();
  const auto upper = r.Edge("edges/upper"), lower = r.Edge("edges/lower");
  std::vector<std::uint8_t> mask(76800);
  for (auto _ : state) {
    benchmark::DoNotOptimize(veltrum::FillFingerMask(upper.data(), lower.data(), mask.data()));
  }
}
BENCHMARK(BM_FillFingerMask)->Unit(benchmark::kMicrosecond);

// In-place steps work on fresh copies each run; the copies are part of the figure.
void BM_RotateFinger(benchmark::State& state) {
  auto& r = Run();
  const auto upper = r.Edge("fillMask/upper"), lower = r.Edge("fillMask/lower");
  const float slope = r.Value<float>("axis/line", 0);
  for (auto _ : state) {
    auto image = r.Plane("fillMask/image");
    auto mask = r.Plane("fillMask/mask");
    auto bandMask = r.Plane("fillMask/bandMask");
    benchmark::DoNotOptimize(veltrum::RotateFinger(image.data(), mask.data(), bandMask.data(),
                                                   slope, upper.data(), lower.data()));
  }
}
BENCHMARK(BM_RotateFinger)->Unit(benchmark::kMicrosecond);

void BM_MaskEdgeRows(benchmark::State& state) {
  auto& r = Run();
  const auto& mask = r.Plane("width/mask");
  std::array<std::int16_t, 320> upper{}, lower{};
  int top = 0, bottom = 0;
  for (auto _ : state) {
    veltrum::MaskEdgeRows(upper.data(), lower.data(), mask.data(), top, bottom);
    benchmark::DoNotOptimize(top + bottom);
  }
}
BENCHMARK(BM_MaskEdgeRows)->Unit(benchmark::kMicrosecond);

void BM_NormaliseFingerWidth(benchmark::State& state) {
  auto& r = Run();
  const auto upper = r.Edge("maskBandRows/bandUpper"), lower = r.Edge("maskBandRows/bandLower");
  for (auto _ : state) {
    auto image = r.Plane("maskBandRows/image");
    auto mask = r.Plane("maskBandRows/mask");
    benchmark::DoNotOptimize(
        veltrum::NormaliseFingerWidth(upper.data(), lower.data(), image.data(), mask.data()));
  }
}
BENCHMARK(BM_NormaliseFingerWidth)->Unit(benchmark::kMicrosecond);

void BM_UnwrapFingerSection(benchmark::State& state) {
  auto& r = Run();
  const auto upper = r.Edge("maskRows/upper"), lower = r.Edge("maskRows/lower");
  const int upperVaries = r.Value<int>("axis/varies", 0);
  const int lowerVaries = r.Value<int>("axis/varies", 1);
  for (auto _ : state) {
    auto image = r.Plane("maskRows/image");
    auto mask = r.Plane("maskRows/mask");
    benchmark::DoNotOptimize(veltrum::UnwrapFingerSection(
        lower.data(), lowerVaries, upperVaries, upper.data(), image.data(), mask.data()));
  }
}
BENCHMARK(BM_UnwrapFingerSection)->Unit(benchmark::kMicrosecond);

void BM_HalveImages(benchmark::State& state) {
  auto& r = Run();
  for (auto _ : state) {
    auto image = r.Plane("brighten/image");
    auto reference = r.Plane("median/image");
    auto mask = r.Plane("maskUnwrappedRows/mask");
    benchmark::DoNotOptimize(veltrum::HalveImages(image.data(), reference.data(), mask.data()));
  }
}
BENCHMARK(BM_HalveImages)->Unit(benchmark::kMicrosecond);

// The copies the in-place benchmarks make, for subtracting.
void BM_CopyThreePlanes(benchmark::State& state) {
  auto& r = Run();
  for (auto _ : state) {
    auto a = r.Plane("fillMask/image");
    auto b = r.Plane("fillMask/mask");
    auto c = r.Plane("fillMask/bandMask");
    benchmark::DoNotOptimize(a.data() + (b[0] + c[0]));
  }
}
BENCHMARK(BM_CopyThreePlanes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
