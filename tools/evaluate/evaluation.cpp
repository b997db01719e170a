#include "evaluation.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "api/operations.h"
#include "core/similarity.h"
#include "core/status.h"
#include "feature/feature_block.h"
#include "match/match_block_to_model.h"
#include "model/vein_model.h"
#include "search/search_stages.h"

namespace evaluation {
namespace {

constexpr float kDefaultThreshold = 0.6f;

struct Finger {
  std::string finger;  // the same finger may appear under several notes
  std::vector<std::vector<std::uint8_t>> captures;
};

}  // namespace

Scores Evaluate(const training::CorpusPlan& plan, const std::string& labelPrefix, bool perNote) {
  std::map<std::string, Finger> byLabel;
  std::vector<std::string> labels;
  training::ForEachImage(plan, [&](const training::CorpusImage& image) {
    if (image.finger.rfind(labelPrefix, 0) != 0) return;
    const std::string label = perNote ? image.finger + " " + image.note : image.finger;
    if (!byLabel.count(label)) labels.push_back(label);
    byLabel[label].finger = image.finger;
    byLabel[label].captures.push_back(image.pixels);
  });
  Scores s;
  std::vector<veltrum::VeinModel> models;
  std::vector<std::string> fingerOf;
  std::vector<std::vector<veltrum::VeinFeature>> probes;
  for (const auto& label : labels) {
    const Finger& f = byLabel[label];
    if (f.captures.size() < 4) continue;
    unsigned char model[sizeof(veltrum::VeinModel)] = {};
    if (veltrum::EnrollModel(f.captures[0].data(), f.captures[1].data(), f.captures[2].data(),
                             model) != veltrum::kOk) {
      ++s.enrolFailures;
      continue;
    }
    models.push_back(veltrum::LoadModel(model));
    fingerOf.push_back(f.finger);
    probes.emplace_back();
    for (std::size_t c = 3; c < f.captures.size(); ++c) {
      veltrum::VeinFeature feature;
      if (veltrum::ExtractMatchFeature(f.captures[c].data(),
                                       reinterpret_cast<unsigned char*>(&feature)) != veltrum::kOk) {
        ++s.probeFailures;
        continue;
      }
      probes.back().push_back(feature);
    }
  }
  s.fingers = static_cast<int>(models.size());
  for (std::size_t p = 0; p < probes.size(); ++p) {
    for (const auto& probe : probes[p]) {
      ++s.probes;
      const int own = veltrum::CoarseScreenValue(probe.blocks[0].coarse, models[p].coarse);
      int above = 0;  // other fingers' templates at or above the own one
      for (std::size_t m = 0; m < models.size(); ++m) {
        if (fingerOf[m] != fingerOf[p] &&
            veltrum::CoarseScreenValue(probe.blocks[0].coarse, models[m].coarse) >= own) {
          ++above;
        }
      }
      s.coarseFirst += above == 0;
      s.coarseTop100 += above < 100;
      for (std::size_t m = 0; m < models.size(); ++m) {
        // The same finger under another note (device) is neither genuine nor impostor here.
        if (m != p && fingerOf[m] == fingerOf[p]) continue;
        std::int8_t shiftRow = veltrum::kShiftSearchFull, shiftCol = 0;
        const int raw = veltrum::MatchFeatureToModel(shiftRow, shiftCol, models[m], probe);
        (m == p ? s.genuine : s.impostor).push_back(raw);
      }
    }
  }
  return s;
}

Rates RatesAt(const Scores& scores, float threshold) {
  auto below = [&](const std::vector<int>& v) {
    return std::count_if(v.begin(), v.end(),
                         [&](int raw) { return veltrum::ScoreToSimilarity(raw) < threshold; });
  };
  const double g = static_cast<double>(scores.genuine.size());
  const double i = static_cast<double>(scores.impostor.size());
  return {g ? below(scores.genuine) / g : 0.0,
          i ? (i - static_cast<double>(below(scores.impostor))) / i : 0.0};
}

double EqualErrorRate(const Scores& scores) {
  const double g = static_cast<double>(scores.genuine.size());
  const double i = static_cast<double>(scores.impostor.size());
  if (g == 0 || i == 0) return 0.0;
  double best = 1.0, eer = 1.0;
  for (int t = 0; t <= 1000; ++t) {  // accept raw >= t
    const double frr = std::count_if(scores.genuine.begin(), scores.genuine.end(),
                                     [&](int r) { return r < t; }) / g;
    const double far = std::count_if(scores.impostor.begin(), scores.impostor.end(),
                                     [&](int r) { return r >= t; }) / i;
    if (std::abs(frr - far) < best) {
      best = std::abs(frr - far);
      eer = (frr + far) / 2;
    }
  }
  return eer;
}

void Report(const Scores& s) {
  std::printf("templates %d (enrolment failures %d), probe failures %d\n", s.fingers,
              s.enrolFailures, s.probeFailures);
  std::printf("genuine comparisons %zu, impostor comparisons %zu\n", s.genuine.size(),
              s.impostor.size());
  std::printf("%-13s %9s %9s\n", "similarity", "genuine", "impostor");
  for (int bin = 0; bin <= 20; ++bin) {
    const float lo = bin * 0.05f, hi = bin == 20 ? 2.0f : lo + 0.05f;
    auto in = [&](const std::vector<int>& v) {
      return std::count_if(v.begin(), v.end(), [&](int raw) {
        const float sim = veltrum::ScoreToSimilarity(raw);
        return bin == 0 ? sim < hi : (sim >= lo - 1e-6f && sim < hi - 1e-6f);
      });
    };
    char range[32];
    if (bin == 20) {
      std::snprintf(range, sizeof range, ">= 1.00");
    } else {
      std::snprintf(range, sizeof range, "%.2f-%.2f", lo, hi);
    }
    std::printf("%-13s %9ld %9ld\n", range, static_cast<long>(in(s.genuine)),
                static_cast<long>(in(s.impostor)));
  }
  auto mean = [](const std::vector<int>& v) {
    double sum = 0;
    for (int r : v) sum += r;
    return v.empty() ? 0.0 : sum / v.size();
  };
  auto maxOf = [](const std::vector<int>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); };
  auto minOf = [](const std::vector<int>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); };
  std::printf("raw score: genuine mean %.1f min %d, impostor mean %.1f max %d\n", mean(s.genuine),
              minOf(s.genuine), mean(s.impostor), maxOf(s.impostor));
  const Rates r = RatesAt(s, kDefaultThreshold);
  std::printf("at threshold 0.6: FRR %.4f%%  FAR %.4f%%\n", 100 * r.frr, 100 * r.far);
  std::printf("equal error rate (raw-score thresholds): %.4f%%\n", 100 * EqualErrorRate(s));
  if (s.probes > 0) {
    std::printf("coarse screen: own template first for %.2f%%, among the 100 highest for %.2f%%\n",
                100.0 * s.coarseFirst / s.probes, 100.0 * s.coarseTop100 / s.probes);
  }
}

}  // namespace evaluation
