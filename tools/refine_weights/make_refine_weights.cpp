// Writes engine/tables/refine_weights_data.cpp: RefineWeights as a linear discriminant of the
// coarse-window sums of the training corpus. Every sum is taken to unit length and the
// direction all fingers share is removed; one class per finger and window, within-class
// scatter shrunk by a tenth of its mean variance; the 60 leading discriminant directions,
// scaled into -0.99 .. 1.02. The trained row that best matches the eight known leading
// weights becomes row 0 and takes those weights exactly.
// Usage: make_refine_weights [output.cpp] [data folder] [options]
//   --seeded        (or a corpus that cannot be extracted) the seeded Gaussian fallback instead
//   --cache FOLDER  keep extracted blocks there (see feature_cache.h)
//   --threads N     images extracted at once (3)
//   --synthetic N   synthetic fingers of the corpus (800; for checks on a small corpus)
//   --no-report     skip the held-out separation
// The work tables come from the compiled-in CellNormTable, so regenerate that first. It prints
// the table's checksum on standard output.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "feature/cell_codes.h"
#include "feature/filter_bank.h"
#include "feature/refine_feature.h"
#include "linear_algebra.h"
#include "sim_finger/random.h"
#include "feature_cache.h"
#include "training_corpus.h"

namespace {

constexpr int kIn = 64, kOut = 60, kEntries = kOut * kIn;
constexpr std::uint64_t kSeed = 0x5EED0060;
constexpr std::array<float, 8> kRow0Start = {0.0461f, 0.0571f, -0.0663f, 0.0686f,
                                             0.0241f, 0.0654f, 0.0924f,  0.1102f};
using Weights = std::array<float, kEntries>;
using training::Matrix;

struct Sample {
  std::string finger;
  int window;
  std::array<double, kIn> x;
};

Weights Seeded() {
  simfinger::Random random(kSeed);
  Weights w{};
  for (float& v : w) v = static_cast<float>(std::clamp(0.25 * random.Gaussian(), -0.99, 1.02));
  std::copy(kRow0Start.begin(), kRow0Start.end(), w.begin());
  return w;
}

std::vector<Sample> CollectSums(const training::CorpusPlan& plan, training::FeatureCache& cache,
                                int threads, int& images, int& extracted) {
  std::vector<Sample> samples;
  std::vector<std::int32_t> work(veltrum::kResponseEntries);
  extracted = 0;
  images = training::ForEachExtracted(plan, cache, threads, [&](const training::CorpusImage& image,
                                                                bool ok, const training::ImageBlocks& b) {
    if (!ok) return;
    ++extracted;
    veltrum::ComputeWorkTable(b.responses[0].data(), work.data());
    for (int v = 0; v < veltrum::kCoarseWindows; ++v) {
      float acc[kIn];
      veltrum::CoarseWindowSums(b.blocks[0].coverage27, work.data(), v, acc);
      Sample s{image.finger, v, {}};
      double norm = 0;
      for (int k = 0; k < kIn; ++k) norm += double(acc[k]) * acc[k];
      if (norm <= 0) continue;
      for (int k = 0; k < kIn; ++k) s.x[k] = acc[k] / std::sqrt(norm);
      samples.push_back(s);
    }
  });
  return samples;
}

// Removes the shared direction `mu` (unit) from every sample.
void Project(std::vector<Sample>& samples, const std::array<double, kIn>& mu) {
  for (auto& s : samples) {
    double d = 0;
    for (int k = 0; k < kIn; ++k) d += s.x[k] * mu[k];
    for (int k = 0; k < kIn; ++k) s.x[k] -= d * mu[k];
  }
}

void Scatter(const std::vector<Sample>& samples, Matrix& within, Matrix& between) {
  std::map<std::pair<std::string, int>, std::pair<std::array<double, kIn>, int>> classes;
  std::array<double, kIn> mean{};
  for (const auto& s : samples) {
    auto& c = classes[{s.finger, s.window}];
    for (int k = 0; k < kIn; ++k) {
      c.first[k] += s.x[k];
      mean[k] += s.x[k] / samples.size();
    }
    ++c.second;
  }
  for (auto& [key, c] : classes) {
    for (double& v : c.first) v /= c.second;
  }
  within.assign(kIn * kIn, 0.0);
  Matrix total(kIn * kIn, 0.0);
  for (const auto& s : samples) {
    const auto& m = classes[{s.finger, s.window}].first;
    for (int i = 0; i < kIn; ++i) {
      for (int j = 0; j < kIn; ++j) {
        within[i * kIn + j] += (s.x[i] - m[i]) * (s.x[j] - m[j]) / samples.size();
        total[i * kIn + j] += (s.x[i] - mean[i]) * (s.x[j] - mean[j]) / samples.size();
      }
    }
  }
  between.resize(kIn * kIn);
  for (int i = 0; i < kIn * kIn; ++i) between[i] = total[i] - within[i];
}

// Solves L^T v = u for lower-triangular L.
std::array<double, kIn> BackSolve(const Matrix& l, const std::array<double, kIn>& u) {
  std::array<double, kIn> v{};
  for (int i = kIn - 1; i >= 0; --i) {
    double s = u[i];
    for (int k = i + 1; k < kIn; ++k) s -= l[k * kIn + i] * v[k];
    v[i] = s / l[i * kIn + i];
  }
  return v;
}

bool Discriminant(std::vector<Sample> samples, Weights& out) {
  std::array<double, kIn> mu{};
  for (const auto& s : samples) {
    for (int k = 0; k < kIn; ++k) mu[k] += s.x[k];
  }
  double n = 0;
  for (double v : mu) n += v * v;
  for (double& v : mu) v /= std::sqrt(n);
  Project(samples, mu);
  Matrix within, between;
  Scatter(samples, within, between);
  double trace = 0;
  for (int i = 0; i < kIn; ++i) trace += within[i * kIn + i];
  for (int i = 0; i < kIn; ++i) within[i * kIn + i] += 0.1 * trace / kIn;
  Matrix l;
  if (!training::Cholesky(within, kIn, l)) return false;
  // C = L^-1 S_b L^-T, by forward substitution on columns and then rows.
  auto forward = [&](std::array<double, kIn> b) {
    for (int i = 0; i < kIn; ++i) {
      for (int k = 0; k < i; ++k) b[i] -= l[i * kIn + k] * b[k];
      b[i] /= l[i * kIn + i];
    }
    return b;
  };
  Matrix half(kIn * kIn), c(kIn * kIn);
  for (int j = 0; j < kIn; ++j) {
    std::array<double, kIn> col;
    for (int i = 0; i < kIn; ++i) col[i] = between[i * kIn + j];
    col = forward(col);
    for (int i = 0; i < kIn; ++i) half[i * kIn + j] = col[i];
  }
  for (int i = 0; i < kIn; ++i) {
    std::array<double, kIn> row;
    for (int j = 0; j < kIn; ++j) row[j] = half[i * kIn + j];
    row = forward(row);
    for (int j = 0; j < kIn; ++j) c[i * kIn + j] = row[j];
  }
  for (int i = 0; i < kIn; ++i) {
    for (int j = 0; j < i; ++j) c[i * kIn + j] = c[j * kIn + i] = (c[i * kIn + j] + c[j * kIn + i]) / 2;
  }
  std::vector<double> values;
  Matrix vectors;
  training::SymmetricEigen(c, kIn, values, vectors);
  std::vector<std::array<double, kIn>> rows;
  for (int j = 0; j < kOut; ++j) {
    std::array<double, kIn> u;
    for (int k = 0; k < kIn; ++k) u[k] = vectors[k * kIn + j];
    auto v = BackSolve(l, u);
    double d = 0;
    for (int k = 0; k < kIn; ++k) d += v[k] * mu[k];
    for (int k = 0; k < kIn; ++k) v[k] -= d * mu[k];
    rows.push_back(v);
  }
  std::cerr << "discriminant ratios " << values[0] << " .. " << values[kOut - 1] << "\n";
  // The row whose start best follows the known weights, with its sign, goes first.
  int best = 0;
  double bestCorrelation = -2;
  for (int j = 0; j < kOut; ++j) {
    for (double sign : {1.0, -1.0}) {
      double dot = 0, a = 0, b = 0;
      for (int k = 0; k < 8; ++k) {
        dot += sign * rows[j][k] * kRow0Start[k];
        a += rows[j][k] * rows[j][k];
        b += double(kRow0Start[k]) * kRow0Start[k];
      }
      const double correlation = dot / std::sqrt(a * b + 1e-300);
      if (correlation > bestCorrelation) {
        bestCorrelation = correlation;
        best = sign > 0 ? j : -1 - j;
      }
    }
  }
  const int chosen = best >= 0 ? best : -1 - best;
  const double sign = best >= 0 ? 1.0 : -1.0;
  std::swap(rows[0], rows[chosen]);
  for (double& v : rows[0]) v *= sign;
  // Signs of the other rows are free: each row's largest weight is made positive, and one
  // global scale brings the matrix inside -0.99 .. 1.02.
  double highest = 0, lowest = 0;
  for (int j = 0; j < kOut; ++j) {
    if (j > 0) {
      const auto peak = *std::max_element(rows[j].begin(), rows[j].end(),
                                          [](double a, double b) { return std::abs(a) < std::abs(b); });
      if (peak < 0) {
        for (double& v : rows[j]) v = -v;
      }
    }
    for (double v : rows[j]) highest = std::max(highest, v), lowest = std::min(lowest, v);
  }
  const double scale = std::min(1.02 / highest, lowest < 0 ? 0.99 / -lowest : 1e300);
  for (int j = 0; j < kOut; ++j) {
    for (int k = 0; k < kIn; ++k) out[j * kIn + k] = static_cast<float>(rows[j][k] * scale);
  }
  double change = 0, norm = 0;
  for (int k = 0; k < kIn; ++k) {
    const double before = out[k], after = k < 8 ? kRow0Start[k] : before;
    change += (after - before) * (after - before);
    norm += before * before;
  }
  std::copy(kRow0Start.begin(), kRow0Start.end(), out.begin());
  std::cerr << "row 0 from trained row " << chosen << " (correlation " << bestCorrelation
            << "), relative change " << std::sqrt(change / norm) << "\n";
  return true;
}

// d' of genuine against impostor similarity of the projected, renormalised window sums.
double Separation(const std::vector<Sample>& samples, const Weights& w) {
  std::map<std::string, std::vector<std::array<double, kOut * 4>>> byFinger;
  std::map<std::pair<std::string, int>, std::array<double, kOut * 4>> current;
  std::vector<std::pair<std::string, std::array<double, kOut * 4>>> vectors;
  std::array<double, kOut * 4> v{};
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const auto& s = samples[i];
    double n = 0;
    std::array<double, kOut> o{};
    for (int j = 0; j < kOut; ++j) {
      for (int k = 0; k < kIn; ++k) o[j] += w[j * kIn + k] * s.x[k];
      n += o[j] * o[j];
    }
    for (int j = 0; j < kOut; ++j) v[s.window * kOut + j] = o[j] / std::sqrt(n + 1e-30);
    if (s.window == 3) vectors.push_back({s.finger, v});
  }
  std::vector<double> genuine, impostor;
  for (std::size_t a = 0; a < vectors.size(); ++a) {
    for (std::size_t b = a + 1; b < vectors.size() && b < a + 12; ++b) {
      double dot = 0;
      for (int k = 0; k < kOut * 4; ++k) dot += vectors[a].second[k] * vectors[b].second[k];
      (vectors[a].first == vectors[b].first ? genuine : impostor).push_back(dot);
    }
  }
  auto stats = [](const std::vector<double>& x) {
    double m = 0, q = 0;
    for (double v : x) m += v / x.size();
    for (double v : x) q += (v - m) * (v - m) / x.size();
    return std::pair{m, q};
  };
  const auto [mg, vg] = stats(genuine);
  const auto [mi, vi] = stats(impostor);
  return (mg - mi) / std::sqrt((vg + vi) / 2 + 1e-30);
}

bool Write(const char* path, const Weights& w, const std::string& source, std::string& checksum) {
  double sum = 0;
  for (float v : w) sum += v;
  std::ostringstream text;
  text << "Sum " << std::setprecision(9) << sum;
  checksum = text.str();
  std::ofstream out(path);
  out << "// Generated by tools/refine_weights/make_refine_weights.cpp; do not edit.\n// "
      << source << ".\n// " << checksum << ".\n"
      << "#include \"tables/refine_weights.h\"\n\nnamespace veltrum {\n\n"
      << "const std::array<float, kRefineOutputs * kRefineInputs> RefineWeights = {";
  for (int i = 0; i < kEntries; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9gf", static_cast<double>(w[i]));
    out << (i % 8 == 0 ? "\n    " : " ") << text << ",";
  }
  out << "\n};\n\n}  // namespace veltrum\n";
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = "engine/tables/refine_weights_data.cpp";
  training::CorpusPlan plan;
  plan.syntheticFingers = 800;
  bool seeded = false, report = true;
  std::string cacheDir;
  int threads = 3;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seeded") == 0) {
      seeded = true;
    } else if (std::strcmp(argv[i], "--no-report") == 0) {
      report = false;
    } else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc) {
      cacheDir = argv[++i];
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--synthetic") == 0 && i + 1 < argc) {
      plan.syntheticFingers = std::atoi(argv[++i]);
    } else if (positional++ == 0) {
      path = argv[i];
    } else {
      plan.dataDir = argv[i];
    }
  }
  char seedText[40];
  std::snprintf(seedText, sizeof seedText, "seed 0x%llx", static_cast<unsigned long long>(kSeed));
  Weights w = Seeded();
  std::string source = std::string("Seeded Gaussian fallback, ") + seedText;
  if (!seeded) {
    training::InitEngineForTraining();
    training::FeatureCache cache(cacheDir);
    int images = 0, extracted = 0;
    const auto samples = CollectSums(plan, cache, threads, images, extracted);
    Weights trained{};
    const bool ok = !samples.empty() && Discriminant(samples, trained);
    if (!ok) {
      std::cerr << "no usable corpus; writing the seeded fallback\n";
    } else if (report) {
      training::CorpusPlan heldOutPlan;  // fingers never trained on
      heldOutPlan.firstSeed = 900000;
      heldOutPlan.syntheticFingers = 100;
      heldOutPlan.capturesPerFinger = 3;
      int heldOutImages = 0, heldOutExtracted = 0;
      const auto heldOut = CollectSums(heldOutPlan, cache, threads, heldOutImages, heldOutExtracted);
      std::cerr << "d' on the corpus: trained " << Separation(samples, trained) << ", seeded "
                << Separation(samples, w) << "; held out: trained " << Separation(heldOut, trained)
                << ", seeded " << Separation(heldOut, w) << "\n";
    }
    if (ok) {
      w = trained;
      source = "Discriminant over " + training::Describe(plan, images, extracted);
    }
  }
  const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
  std::cerr << "weights " << *lo << " .. " << *hi << "\n";
  std::string checksum;
  if (!Write(path, w, source, checksum)) {
    std::cerr << "cannot write " << path << "\n";
    return 1;
  }
  std::cout << checksum << "\n";
  return 0;
}
