// Recognition measured end to end: each identity enrolled from three captures, every further
// capture matched against every template. Prints, per set, genuine and impostor similarity
// counts, the lowest genuine and highest impostor score, the false-reject and false-accept
// rates with their counts at the front-ends' thresholds 0.51, 0.6 and 0.63, and the equal error
// rate; with --out it writes the same report and the DET curve and score histograms as PNG.
//
//   evaluate [fingers (100)] [captures per synthetic finger (5)] [first seed (50000)] [data dir]
//            [--out FOLDER] [--cell-norm TABLE.cpp] [--real-only]
// The data dir defaults to $FV_DATA_DIR; --cell-norm scores a generated table in place of the
// compiled-in one.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "evaluation.h"
#include "evaluation_plots.h"
#include "table_file.h"
#include "training_corpus.h"

namespace {

using evaluation::Identity;
using training::CorpusImage;

using Picked = std::vector<const CorpusImage*>;

Picked Pick(const std::vector<CorpusImage>& all, const std::string& prefix, const std::string& note = "") {
  Picked v;
  for (const auto& image : all) {
    if (image.finger.rfind(prefix, 0) == 0 && (note.empty() || image.note == note)) v.push_back(&image);
  }
  return v;
}

std::vector<Identity> EachOnItsDevice(const std::vector<CorpusImage>& all) {
  std::vector<Identity> ids;
  for (const char* device : {"device1", "device2"}) {
    for (auto& id : evaluation::FirstThreeEnrol(Pick(all, "a-", device))) ids.push_back(id);
  }
  return ids;
}

// real-a: enrolled on one device, every capture of the other device a probe; both directions.
std::vector<Identity> AcrossDevices(const std::vector<CorpusImage>& all) {
  std::vector<Identity> out;
  for (const char* device : {"device1", "device2"}) {
    for (const Identity& enrolled : evaluation::FirstThreeEnrol(Pick(all, "a-", device))) {
      Identity id{enrolled.finger, enrolled.enrol, {}};
      for (const auto* image : Pick(all, "a-")) {
        if (image->finger == id.finger && image->note != device) id.probes.push_back(&image->pixels);
      }
      out.push_back(id);
    }
  }
  return out;
}

struct Set {
  std::string slug, title;
  std::vector<Identity> identities;
};

void Run(const Set& set, const std::string& outDir) {
  std::printf("\n== %s: %s\n", set.slug.c_str(), set.title.c_str());
  const evaluation::Scores scores = evaluation::Evaluate(set.identities);
  evaluation::Report(scores, stdout);
  if (outDir.empty()) return;
  const std::filesystem::path base = std::filesystem::path(outDir) / set.slug;
  if (std::FILE* f = std::fopen((base.string() + ".txt").c_str(), "w")) {
    std::fprintf(f, "%s\n", set.title.c_str());
    evaluation::Report(scores, f);
    std::fclose(f);
  }
  if (!evaluation::DrawDetCurve(scores, set.slug, base.string() + "-det.png") ||
      !evaluation::DrawHistograms(scores, set.slug, base.string() + "-hist.png")) {
    std::fprintf(stderr, "cannot write the pictures of %s\n", set.slug.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  training::CorpusPlan synthetic;
  synthetic.syntheticFingers = 100;
  synthetic.capturesPerFinger = 5;
  synthetic.firstSeed = 50000;
  const char* env = std::getenv("FV_DATA_DIR");
  std::string dataDir = env ? env : "", outDir, table;
  bool realOnly = false;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      outDir = argv[++i];
    } else if (std::strcmp(argv[i], "--cell-norm") == 0 && i + 1 < argc) {
      table = argv[++i];
    } else if (std::strcmp(argv[i], "--real-only") == 0) {
      realOnly = true;
    } else if (positional == 0) {
      synthetic.syntheticFingers = std::atoi(argv[i]), ++positional;
    } else if (positional == 1) {
      synthetic.capturesPerFinger = std::atoi(argv[i]), ++positional;
    } else if (positional == 2) {
      synthetic.firstSeed = std::strtoull(argv[i], nullptr, 10), ++positional;
    } else if (positional == 3) {
      dataDir = argv[i], ++positional;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }

  training::InitEngineForTraining();
  if (!table.empty()) {
    if (!training::InstallCellNormTable(table)) {
      std::fprintf(stderr, "%s does not hold a CellNormTable\n", table.c_str());
      return 1;
    }
    std::printf("CellNormTable from %s\n", table.c_str());
  }
  if (!outDir.empty()) std::filesystem::create_directories(outDir);

  // Every set's identities point into these images.
  std::vector<CorpusImage> syntheticImages, all;
  std::vector<Set> sets;
  if (!realOnly) {
    training::ForEachImage(synthetic, [&](const CorpusImage& image) { syntheticImages.push_back(image); });
    sets.push_back({"synthetic-" + std::to_string(synthetic.syntheticFingers) + "x" +
                        std::to_string(synthetic.capturesPerFinger),
                    "synthetic fingers " + std::to_string(synthetic.firstSeed) + ".." +
                        std::to_string(synthetic.firstSeed + synthetic.syntheticFingers - 1) + ", " +
                        std::to_string(synthetic.capturesPerFinger) + " captures each",
                    evaluation::FirstThreeEnrol(Pick(syntheticImages, ""))});
  }
  if (!dataDir.empty()) {
    training::CorpusPlan real;
    real.syntheticFingers = 0;
    real.dataDir = dataDir;
    training::ForEachImage(real, [&](const CorpusImage& image) { all.push_back(image); });
    std::vector<Identity> everyReal = EachOnItsDevice(all);
    for (const char* prefix : {"b-", "c-"}) {
      for (auto& id : evaluation::FirstThreeEnrol(Pick(all, prefix))) everyReal.push_back(id);
    }
    sets.push_back({"real-a-device1", "real-a, device 1 alone",
                    evaluation::FirstThreeEnrol(Pick(all, "a-", "device1"))});
    sets.push_back({"real-a-device2", "real-a, device 2 alone",
                    evaluation::FirstThreeEnrol(Pick(all, "a-", "device2"))});
    sets.push_back({"real-a-each-device", "real-a, each finger on its own device (8 identities)",
                    EachOnItsDevice(all)});
    sets.push_back({"real-a-across-devices", "real-a, enrolled on one device, matched on the other",
                    AcrossDevices(all)});
    sets.push_back({"real-b", "real-b", evaluation::FirstThreeEnrol(Pick(all, "b-"))});
    sets.push_back({"real-c", "real-c", evaluation::FirstThreeEnrol(Pick(all, "c-"))});
    sets.push_back({"real-all", "all real images, each finger matched on its own device", everyReal});
  }
  for (const Set& set : sets) Run(set, outDir);
  return 0;
}
