#include "evaluation.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "api/operations.h"
#include "core/similarity.h"
#include "core/status.h"
#include "feature/feature_block.h"
#include "match/match_block_to_model.h"
#include "match/shift_search.h"
#include "model/vein_model.h"
#include "search/search_stages.h"

namespace evaluation {

Scores Evaluate(const std::vector<Identity>& identities) {
  Scores s;
  std::vector<veltrum::VeinModel> models;
  std::vector<std::string> fingerOf;
  std::vector<std::vector<veltrum::VeinFeature>> probes;
  for (const Identity& id : identities) {
    if (id.enrol.size() < 3) continue;
    unsigned char model[sizeof(veltrum::VeinModel)] = {};
    if (veltrum::EnrollModel(id.enrol[0]->data(), id.enrol[1]->data(), id.enrol[2]->data(),
                             model) != veltrum::kOk) {
      ++s.enrolFailures;
      continue;
    }
    models.push_back(veltrum::LoadModel(model));
    fingerOf.push_back(id.finger);
    probes.emplace_back();
    for (const Pixels* capture : id.probes) {
      veltrum::VeinFeature feature;
      if (veltrum::ExtractMatchFeature(capture->data(),
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
        if (m != p && fingerOf[m] == fingerOf[p]) continue;
        std::int8_t shiftRow = veltrum::kShiftSearchFull, shiftCol = 0;
        const int raw = veltrum::MatchFeatureToModel(shiftRow, shiftCol, models[m], probe);
        (m == p ? s.genuine : s.impostor).push_back(raw);
      }
    }
  }
  return s;
}

std::vector<Identity> FirstThreeEnrol(const std::vector<const training::CorpusImage*>& images) {
  std::map<std::string, Identity> byFinger;
  std::vector<std::string> order;
  for (const auto* p : images) {
    const training::CorpusImage& image = *p;
    Identity& id = byFinger[image.finger];
    if (id.finger.empty()) order.push_back(image.finger);
    id.finger = image.finger;
    (id.enrol.size() < 3 ? id.enrol : id.probes).push_back(&image.pixels);
  }
  std::vector<Identity> out;
  for (const auto& f : order) {
    if (!byFinger[f].probes.empty()) out.push_back(byFinger[f]);
  }
  return out;
}

Rates RatesAt(const Scores& scores, float threshold) {
  auto accepted = [&](int raw) { return veltrum::ScoreToSimilarity(raw) >= threshold; };
  Rates r{};
  r.genuine = static_cast<long>(scores.genuine.size());
  r.impostor = static_cast<long>(scores.impostor.size());
  r.falseRejects = r.genuine - std::count_if(scores.genuine.begin(), scores.genuine.end(), accepted);
  r.falseAccepts = std::count_if(scores.impostor.begin(), scores.impostor.end(), accepted);
  return r;
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

void Report(const Scores& s, std::FILE* out) {
  std::fprintf(out, "templates %d (enrolment failures %d), probe failures %d\n", s.fingers,
               s.enrolFailures, s.probeFailures);
  std::fprintf(out, "genuine comparisons %zu, impostor comparisons %zu\n", s.genuine.size(),
               s.impostor.size());
  std::fprintf(out, "%-13s %9s %9s\n", "similarity", "genuine", "impostor");
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
    std::fprintf(out, "%-13s %9ld %9ld\n", range, static_cast<long>(in(s.genuine)),
                 static_cast<long>(in(s.impostor)));
  }
  auto mean = [](const std::vector<int>& v) {
    double sum = 0;
    for (int r : v) sum += r;
    return v.empty() ? 0.0 : sum / v.size();
  };
  const int maxImpostor = s.impostor.empty() ? 0 : *std::max_element(s.impostor.begin(), s.impostor.end());
  const int minGenuine = s.genuine.empty() ? 0 : *std::min_element(s.genuine.begin(), s.genuine.end());
  std::fprintf(out, "raw score: genuine mean %.1f min %d, impostor mean %.1f max %d\n",
               mean(s.genuine), minGenuine, mean(s.impostor), maxImpostor);
  std::fprintf(out, "lowest genuine similarity %.4f, highest impostor similarity %.4f\n",
               veltrum::ScoreToSimilarity(minGenuine), veltrum::ScoreToSimilarity(maxImpostor));
  for (float t : kThresholds) {
    const Rates r = RatesAt(s, t);
    std::fprintf(out, "at %.2f: FRR %.4f%% (%ld of %ld)  FAR %.4f%% (%ld of %ld)\n", t,
                 r.genuine ? 100.0 * r.falseRejects / r.genuine : 0.0, r.falseRejects, r.genuine,
                 r.impostor ? 100.0 * r.falseAccepts / r.impostor : 0.0, r.falseAccepts, r.impostor);
  }
  std::fprintf(out, "equal error rate (raw-score thresholds): %.4f%%\n", 100 * EqualErrorRate(s));
  if (s.probes > 0) {
    std::fprintf(out, "coarse screen: own template first for %.2f%%, among the 100 highest for %.2f%%\n",
                 100.0 * s.coarseFirst / s.probes, 100.0 * s.coarseTop100 / s.probes);
  }
}

}  // namespace evaluation
