// Enrolment, 1:1 match and 1:N search through the exports, on synthetic fingers, and the
// search's stages without the check of the templates, and that check alone.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "feature/feature_block.h"
#include "model/possible_content.h"
#include "search/search_models.h"
#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace {

struct Gallery {
  std::vector<std::uint8_t> probeImage = simfinger::FingerImage(42, 3);
  std::vector<unsigned char> probeFeature = std::vector<unsigned char>(kVltFeatureBytes);
  std::vector<unsigned char> genuine = std::vector<unsigned char>(kVltModelBytes);
  std::vector<std::vector<unsigned char>> decoys;

  Gallery() {
    VLT_FV_Init(0);
    VLT_FV_ExtractFeature(probeImage.data(), kVltImageHeight, kVltImageWidth, probeFeature.data());
    genuine = Enrol(42);
    for (std::uint64_t seed = 1000; seed < 1050; ++seed) decoys.push_back(Enrol(seed));
  }
  static std::vector<unsigned char> Enrol(std::uint64_t seed) {
    const auto a = simfinger::FingerImage(seed, 0), b = simfinger::FingerImage(seed, 1),
               c = simfinger::FingerImage(seed, 2);
    std::vector<unsigned char> model(kVltModelBytes);
    VLT_FV_Enroll(a.data(), b.data(), c.data(), kVltImageHeight, kVltImageWidth, nullptr, model.data());
    return model;
  }
  // `count` templates of 50 decoy fingers repeated, the genuine one in the middle.
  std::vector<unsigned char> List(int count) const {
    std::vector<unsigned char> list(static_cast<std::size_t>(count) * kVltModelBytes);
    for (int i = 0; i < count; ++i) {
      const auto& m = i == count / 2 ? genuine : decoys[static_cast<std::size_t>(i) % decoys.size()];
      std::memcpy(list.data() + static_cast<std::size_t>(i) * kVltModelBytes, m.data(), kVltModelBytes);
    }
    return list;
  }
  // The same list with every decoy's four 60-value coarse parts taken from decoys picked at
  // random: a gallery of distinct fingers, whose coarse screen sees no ties between copies.
  std::vector<unsigned char> DistinctList(int count) const {
    auto list = List(count);
    constexpr std::size_t kPart = 60, kCoarse = offsetof(veltrum::VeinModel, coarse);
    std::uint32_t state = 12345;
    for (int i = 0; i < count; ++i) {
      if (i == count / 2) continue;
      for (std::size_t k = 0; k < 4; ++k) {
        state = state * 1664525u + 1013904223u;
        const auto& from = decoys[(state >> 16) % decoys.size()];
        std::memcpy(list.data() + static_cast<std::size_t>(i) * kVltModelBytes + kCoarse + k * kPart,
                    from.data() + kCoarse + k * kPart, kPart);
      }
    }
    return list;
  }
};

const Gallery& TheGallery() {
  static const Gallery g;
  return g;
}

void BM_EnrollThreeImages(benchmark::State& state) {
  VLT_FV_Init(0);
  const auto a = simfinger::FingerImage(7, 0), b = simfinger::FingerImage(7, 1),
             c = simfinger::FingerImage(7, 2);
  std::vector<unsigned char> model(kVltModelBytes);
  for (auto _ : state) {
    if (VLT_FV_Enroll(a.data(), b.data(), c.data(), kVltImageHeight, kVltImageWidth, nullptr,
                      model.data()) != 0) {
      state.SkipWithError("enrolment failed");
      break;
    }
    benchmark::DoNotOptimize(model.data());
  }
}
BENCHMARK(BM_EnrollThreeImages)->Unit(benchmark::kMillisecond);

// One image: extraction of its three blocks alone, without pair matching or merging.
void BM_EnrollOneImage(benchmark::State& state) {
  VLT_FV_Init(0);
  const auto a = simfinger::FingerImage(7, 0);
  std::vector<unsigned char> model(kVltModelBytes);
  for (auto _ : state) {
    if (VLT_FV_Enroll(a.data(), nullptr, nullptr, kVltImageHeight, kVltImageWidth, nullptr,
                      model.data()) != 0) {
      state.SkipWithError("enrolment failed");
      break;
    }
    benchmark::DoNotOptimize(model.data());
  }
}
BENCHMARK(BM_EnrollOneImage)->Unit(benchmark::kMillisecond);

void BM_MatchFeature(benchmark::State& state) {
  const Gallery& g = TheGallery();
  float similarity = 0;
  for (auto _ : state) {
    VLT_FV_MatchFeature(g.genuine.data(), g.probeFeature.data(), &similarity);
    benchmark::DoNotOptimize(similarity);
  }
}
BENCHMARK(BM_MatchFeature)->Unit(benchmark::kMicrosecond);

void BM_MatchImage(benchmark::State& state) {
  const Gallery& g = TheGallery();
  float similarity = 0;
  for (auto _ : state) {
    VLT_FV_Match(g.probeImage.data(), kVltImageHeight, kVltImageWidth, g.genuine.data(), &similarity);
    benchmark::DoNotOptimize(similarity);
  }
}
BENCHMARK(BM_MatchImage)->Unit(benchmark::kMillisecond);

// One search over `count` templates per iteration, by feature or by image.
void RunIndex(benchmark::State& state, bool byImage, bool distinct = false) {
  const Gallery& g = TheGallery();
  int count = static_cast<int>(state.range(0));
  const auto list = distinct ? g.DistinctList(count) : g.List(count);
  int position = -1;
  float similarity = 0;
  for (auto _ : state) {
    if (byImage) {
      VLT_FV_Index(list.data(), &count, g.probeImage.data(), &position, &similarity);
    } else {
      VLT_FV_IndexFeature(list.data(), &count, g.probeFeature.data(), &position, &similarity);
    }
    benchmark::DoNotOptimize(position);
  }
  if (position != count / 2) state.SkipWithError("genuine template not found");
}

void BM_IndexFeature(benchmark::State& state) { RunIndex(state, false); }
BENCHMARK(BM_IndexFeature)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Ties of repeated decoys send about 200 templates past each keep stage; distinct ones about
// 100 and 50, as in a real gallery.
void BM_IndexFeatureDistinct(benchmark::State& state) { RunIndex(state, false, true); }
BENCHMARK(BM_IndexFeatureDistinct)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_IndexImage(benchmark::State& state) { RunIndex(state, true); }
BENCHMARK(BM_IndexImage)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);


// The search without the check of the templates: what the three stages cost alone.
void BM_SearchStages(benchmark::State& state) {
  const Gallery& g = TheGallery();
  const int count = static_cast<int>(state.range(0));
  const auto list = g.List(count);
  const veltrum::VeinFeature probe = veltrum::LoadFeature(g.probeFeature.data());
  int position = -1, raw = 0;
  for (auto _ : state) {
    veltrum::SearchModels(list.data(), static_cast<std::size_t>(count), probe, &position, &raw);
    benchmark::DoNotOptimize(position);
  }
  if (position != count / 2) state.SkipWithError("genuine template not found");
}
BENCHMARK(BM_SearchStages)->Arg(10000)->Unit(benchmark::kMillisecond);

// The check of every template, template after template, alone (the search by feature makes it
// inside its first stage, with the coarse screen).
void BM_TemplateCheck(benchmark::State& state) {
  const Gallery& g = TheGallery();
  const int count = static_cast<int>(state.range(0));
  const auto list = g.List(count);
  for (auto _ : state) {
    bool all = true;
    for (int i = 0; i < count; ++i) {
      all = all && veltrum::ModelBytesPossible(list.data() + static_cast<std::size_t>(i) * kVltModelBytes);
    }
    if (!all) state.SkipWithError("a template refused");
  }
}
BENCHMARK(BM_TemplateCheck)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
