// Writes engine/tables/cell_norm_table_data.cpp: CellNormTable, the divisor of every cell, scale
// and orientation. Recipe:
// 1. the mean filter response over the training corpus (all three tilted blocks of each image,
//    on and off the finger), the real images weighing `realWeight` in all, image by image, the
//    synthetic ones the rest;
// 2. in the unit of the two given rows, which are kept exactly (cell 0 in its own unit);
// 3. rounded and clamped to the range of the original table.
// Besides writing the table it reports bit balance and impostor agreement at zero shift on
// held-out synthetic fingers and on each real source held out in turn (trained without it).
// Three variants are kept for comparison, none better on held-out real sources than the plain
// mean: each real source weighing alike; a pass that balances every steerable code bit
// (balance_codes.h), taken in full or in part; and that pass with each scale pair cut where it
// best separates the zero-shift agreement of one finger's captures from that of different
// fingers (false accepts of held-out sources at 0.51 rose from 38 to 125 of 9012 in full, to 48
// at half strength).
//
// Usage: make_cell_norm_table [output.cpp] [data folder] [real weight (0.5)] [options]
//   --sources-alike     each real source (folder of the data) weighs the same
//   --balance STRENGTH  balance the code bits, moving each divisor that share of the way (log)
//   --separate          with --balance: cut each scale pair where it best separates the captures
//                       of one finger from those of others, instead of balancing it
//   --leave-out SOURCE  train without one real source (e.g. real-a); repeatable
//   --cache FOLDER      keep extracted blocks there (see feature_cache.h)
//   --threads N         images extracted at once (3)
//   --no-report         write the table only
//   --synthetic N       synthetic fingers of the corpus (500; for checks on a small corpus)
// It prints the table's checksums on standard output.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "balance_codes.h"
#include "code_statistics.h"
#include "feature/filter_bank.h"
#include "feature_cache.h"
#include "tables/cell_norm_table.h"
#include "training_corpus.h"

namespace {

constexpr int kEntries = veltrum::kCellNormEntries;
constexpr std::int32_t kLowest = 2164, kHighest = 169963;
constexpr std::array<std::int32_t, 16> kCell0Scale0 = {7495, 6322, 6360, 7478, 8037, 8830,
                                                       11495, 16018, 13205, 8052, 6576, 5940,
                                                       5798, 5655, 5209, 6818};
constexpr std::array<std::int32_t, 16> kCell165Scale3 = {60126, 58560, 60546, 57413, 58786, 70040,
                                                         85617, 96798, 98459, 91086, 78370, 63247,
                                                         55663, 55745, 58679, 59839};
constexpr int kCell0Row = veltrum::ResponseIndex(0, 0, 0);
constexpr int kCell165Row = veltrum::ResponseIndex(165, 3, 0);
// Synthetic images kept for the balancing pass: the first captures of the corpus's fingers.
constexpr int kBalancedSynthetic = 1000;
constexpr int kMinCoveredImages = 40;

using Table = training::CellNormValues;

struct Recipe {
  double realWeight = 0.5;
  bool balance = false;
  double strength = 1.0;  // share of the balancing step taken, in log scale
  bool sourcesAlike = false;  // else each real image alike
  bool separate = false;      // scale pairs cut to separate same from different fingers
  std::set<std::string> leftOut;
};

// What training reads of the corpus: response sums per source, and the tilt-0 blocks.
struct Corpus {
  std::map<std::string, std::vector<double>> sums;
  std::map<std::string, long> blocks;
  std::vector<std::pair<std::string, training::HeldOutImage>> images;  // source, image
  int visited = 0, extracted = 0;
};

double MedianRatio(const std::vector<double>& mean, int row, const std::array<std::int32_t, 16>& given) {
  std::vector<double> r;
  for (int k = 0; k < 16; ++k) r.push_back(mean[row + k] / given[k]);
  std::sort(r.begin(), r.end());
  return (r[7] + r[8]) / 2;
}

// Share of the whole that each source's images weigh.
std::map<std::string, double> SourceWeights(const Corpus& corpus, const Recipe& recipe) {
  std::vector<std::string> real;
  for (const auto& [source, n] : corpus.blocks) {
    if (source != "sim" && n > 0 && !recipe.leftOut.count(source)) real.push_back(source);
  }
  const bool synthetic = corpus.blocks.count("sim") && corpus.blocks.at("sim") > 0;
  std::map<std::string, double> w;
  const double realShare = real.empty() ? 0.0 : synthetic ? recipe.realWeight : 1.0;
  if (synthetic) w["sim"] = 1.0 - realShare;
  long realBlocks = 0;
  for (const auto& s : real) realBlocks += corpus.blocks.at(s);
  for (const auto& s : real) {
    w[s] = realShare * (recipe.sourcesAlike ? 1.0 / real.size()
                                            : static_cast<double>(corpus.blocks.at(s)) / realBlocks);
  }
  return w;
}

Table Train(const Corpus& corpus, const Recipe& recipe, std::ostream& log) {
  const auto weights = SourceWeights(corpus, recipe);
  std::vector<double> mean(kEntries, 0.0);
  for (const auto& [source, w] : weights) {
    const auto& sum = corpus.sums.at(source);
    const double n = static_cast<double>(corpus.blocks.at(source));
    for (int i = 0; i < kEntries; ++i) mean[i] += w * sum[i] / n;
  }
  const double unit0 = MedianRatio(mean, kCell0Row, kCell0Scale0);
  const double unit165 = MedianRatio(mean, kCell165Row, kCell165Scale3);
  log << "unit cell 0 " << unit0 << ", cell 165 " << unit165 << " (ratio " << unit0 / unit165 << ")\n";
  std::vector<double> d(kEntries);
  for (int i = 0; i < kEntries; ++i) {
    d[i] = mean[i] / (i < veltrum::kCellResponses ? unit0 : unit165);  // cell 0 shares one unit
  }
  std::copy(kCell0Scale0.begin(), kCell0Scale0.end(), d.begin() + kCell0Row);
  std::copy(kCell165Scale3.begin(), kCell165Scale3.end(), d.begin() + kCell165Row);
  if (recipe.balance) {
    std::map<std::string, int> count;
    for (const auto& [source, image] : corpus.images) ++count[source];
    std::vector<cellnorm::WeightedImage> balanced;
    for (const auto& [source, image] : corpus.images) {
      if (weights.count(source)) balanced.push_back({&image, weights.at(source) / count[source]});
    }
    std::vector<double> target = d;
    cellnorm::BalanceCodeBits(target, balanced, kMinCoveredImages, recipe.separate);
    for (int i = 0; i < kEntries; ++i) d[i] *= std::pow(target[i] / d[i], recipe.strength);
  }
  Table t{};
  int clamped = 0;
  for (int i = 0; i < kEntries; ++i) {
    const double v = std::round(d[i]);
    clamped += v < kLowest || v > kHighest;
    t[i] = static_cast<std::int32_t>(std::clamp(v, double(kLowest), double(kHighest)));
  }
  std::copy(kCell0Scale0.begin(), kCell0Scale0.end(), t.begin() + kCell0Row);
  std::copy(kCell165Scale3.begin(), kCell165Scale3.end(), t.begin() + kCell165Row);
  const auto [lo, hi] = std::minmax_element(t.begin(), t.end());
  log << "entries " << *lo << ".." << *hi << ", " << clamped << " clamped\n";
  return t;
}

Corpus Collect(const training::CorpusPlan& plan, training::FeatureCache& cache, int threads) {
  Corpus c;
  int synthetic = 0;
  c.visited = training::ForEachExtracted(plan, cache, threads, [&](const training::CorpusImage& image,
                                                                   bool ok, const training::ImageBlocks& b) {
    if (!ok) return;
    ++c.extracted;
    auto& sum = c.sums[image.source];
    sum.resize(kEntries, 0.0);
    for (const auto& responses : b.responses) {
      for (int i = 0; i < kEntries; ++i) sum[i] += responses[i];
      ++c.blocks[image.source];
    }
    if (image.source == "sim" && (image.capture != 0 || ++synthetic > kBalancedSynthetic)) return;
    c.images.push_back({image.source,
                        {image.finger, b.responses[0],
                         {b.blocks[0].coverage27, b.blocks[0].coverage27 + veltrum::kGridCells}}});
  });
  return c;
}

std::vector<training::HeldOutImage> ImagesOf(const Corpus& c, const std::string& source) {
  std::vector<training::HeldOutImage> v;
  for (const auto& [s, image] : c.images) {
    if (s == source) v.push_back(image);
  }
  return v;
}

void Report(const char* what, const training::CodeStatistics& s) {
  std::cerr << "  " << what << ": ones per bit " << s.minOnes << ".." << s.maxOnes << " (mean "
            << s.meanOnes << ", mean |p-0.5| " << s.meanImbalance << "), agreement impostor "
            << s.impostorAgreement << " (" << s.impostorPairs << " pairs), genuine "
            << s.genuineAgreement << " (" << s.genuinePairs << ")\n";
}

std::string Header(const training::CorpusPlan& plan, const Corpus& c, const Recipe& recipe) {
  std::ostringstream s;
  s << training::Describe(plan, c.visited, c.extracted) << ".\n// Mean response, the real images "
    << "weighing " << recipe.realWeight << (recipe.sourcesAlike ? " (each source alike):" : " (each image alike):");
  for (const auto& [source, n] : c.blocks) {
    if (source != "sim" && !recipe.leftOut.count(source)) s << " " << source << " " << n / 3;
  }
  for (const auto& source : recipe.leftOut) s << ", " << source << " left out";
  if (recipe.balance) {
    s << ";\n// code bits " << (recipe.separate ? "separated" : "balanced") << " (strength "
      << recipe.strength << ") on the covered cells of the "
      << "first capture of " << kBalancedSynthetic << " synthetic fingers and of every real image";
  }
  return s.str();
}

bool Write(const char* path, const Table& t, const std::string& corpus, std::string& checksums) {
  std::uint64_t sum = 0, weighted = 0;
  for (int i = 0; i < kEntries; ++i) {
    sum += static_cast<std::uint64_t>(t[i]);
    weighted += static_cast<std::uint64_t>(i + 1) * static_cast<std::uint64_t>(t[i]);
  }
  checksums = "Sum " + std::to_string(sum) + ", weighted sum " + std::to_string(weighted);
  std::ofstream out(path);
  out << "// Generated by tools/cell_norm_table/make_cell_norm_table.cpp; do not edit.\n"
      << "// Corpus: " << corpus << ".\n"
      << "// " << checksums << ".\n"
      << "#include \"tables/cell_norm_table.h\"\n\nnamespace veltrum {\n\n"
      << "const std::array<std::int32_t, kCellNormEntries> CellNormTable = {\n";
  for (int i = 0; i < kEntries; ++i) {
    out << (i % 16 == 0 ? "    " : " ") << t[i] << ",";
    if (i % 16 == 15) out << "\n";
  }
  out << "};\n\n}  // namespace veltrum\n";
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = "engine/tables/cell_norm_table_data.cpp";
  training::CorpusPlan plan;
  Recipe recipe;
  std::string cacheDir;
  bool report = true;
  int threads = 3;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--balance") == 0 && i + 1 < argc) {
      recipe.balance = true;
      recipe.strength = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--separate") == 0) {
      recipe.separate = true;
    } else if (std::strcmp(argv[i], "--sources-alike") == 0) {
      recipe.sourcesAlike = true;
    } else if (std::strcmp(argv[i], "--synthetic") == 0 && i + 1 < argc) {
      plan.syntheticFingers = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--no-report") == 0) {
      report = false;
    } else if (std::strcmp(argv[i], "--leave-out") == 0 && i + 1 < argc) {
      recipe.leftOut.insert(argv[++i]);
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc) {
      cacheDir = argv[++i];
    } else if (positional == 0) {
      path = argv[i], ++positional;
    } else if (positional == 1) {
      plan.dataDir = argv[i], ++positional;
    } else if (positional == 2) {
      recipe.realWeight = std::atof(argv[i]), ++positional;
    } else {
      std::cerr << "unknown argument " << argv[i] << "\n";
      return 2;
    }
  }

  training::InitEngineForTraining();
  training::FeatureCache cache(cacheDir);
  const Corpus corpus = Collect(plan, cache, threads);
  std::cerr << corpus.visited << " images, " << corpus.extracted << " extracted\n";
  if (corpus.extracted == 0) {
    std::cerr << "no image of the corpus could be extracted\n";
    return 1;
  }
  const Table table = Train(corpus, recipe, std::cerr);
  std::string checksums;
  if (!Write(path, table, Header(plan, corpus, recipe), checksums)) {
    std::cerr << "cannot write " << path << "\n";
    return 1;
  }
  std::cout << checksums << "\n";
  if (!report) return 0;

  Table flat;
  flat.fill(60000);
  std::vector<std::pair<const char*, const Table*>> tables = {
      {"constant table", &flat}, {"compiled-in table", &veltrum::CellNormTable}, {"trained table", &table}};
  // Held-out synthetic fingers, never trained on.
  training::CorpusPlan heldOutPlan;
  heldOutPlan.firstSeed = 900000;
  heldOutPlan.syntheticFingers = 60;
  heldOutPlan.capturesPerFinger = 2;
  std::vector<training::HeldOutImage> heldOut;
  training::ForEachExtracted(heldOutPlan, cache, threads, [&](const training::CorpusImage& image,
                                                              bool ok, const training::ImageBlocks& b) {
    if (ok) {
      heldOut.push_back({image.finger, b.responses[0],
                         {b.blocks[0].coverage27, b.blocks[0].coverage27 + veltrum::kGridCells}});
    }
  });
  std::cerr << "held-out synthetic fingers 900000..900059 x 2:\n";
  for (const auto& [what, t] : tables) Report(what, training::MeasureCodes(heldOut, *t));
  // Each real source held out in turn: the same recipe without it, scored on it.
  for (const auto& [source, n] : corpus.blocks) {
    if (source == "sim") continue;
    Recipe without = recipe;
    without.leftOut.insert(source);
    std::ostringstream quiet;
    const Table t = Train(corpus, without, quiet);
    const auto images = ImagesOf(corpus, source);
    std::cerr << source << " held out (" << images.size() << " images):\n";
    Report("compiled-in table", training::MeasureCodes(images, veltrum::CellNormTable));
    if (!recipe.leftOut.count(source)) {
      Report("trained table (in sample)", training::MeasureCodes(images, table));
    }
    Report("trained without it", training::MeasureCodes(images, t));
  }
  return 0;
}
