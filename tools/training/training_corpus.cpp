#include "training_corpus.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <opencv2/imgcodecs.hpp>

#include "core/engine_state.h"
#include "core/image_ref.h"
#include "feature/compute_feature_block.h"
#include "feature/filter_bank.h"
#include "feature/rotate_region.h"
#include "feature/unpack_feature_block.h"
#include "preprocess/preprocess_image.h"
#include "sim_finger/finger_generator.h"
#include "tables/lookup_tables.h"

namespace training {

std::vector<ImageSpec> ListImages(const CorpusPlan& plan) {
  std::vector<ImageSpec> list;
  for (int f = 0; f < plan.syntheticFingers; ++f) {
    const std::uint64_t seed = plan.firstSeed + static_cast<std::uint64_t>(f);
    for (int c = 0; c < plan.capturesPerFinger; ++c) {
      list.push_back({"sim-" + std::to_string(seed), c, "", "sim", seed, ""});
    }
  }
  if (plan.dataDir.empty()) return list;
  std::ifstream manifest(std::filesystem::path(plan.dataDir) / "manifest.csv");
  std::string line;
  std::getline(manifest, line);  // header
  while (std::getline(manifest, line)) {
    std::stringstream fields(line);
    std::string path, finger, capture, note;
    std::getline(fields, path, ',');
    std::getline(fields, finger, ',');
    std::getline(fields, capture, ',');
    std::getline(fields, note);
    list.push_back({finger, std::atoi(capture.c_str()), note, path.substr(0, path.find('/')), 0,
                    (std::filesystem::path(plan.dataDir) / path).string()});
  }
  return list;
}

bool LoadImage(const ImageSpec& spec, CorpusImage& out) {
  out.finger = spec.finger;
  out.capture = spec.capture;
  out.note = spec.note;
  out.source = spec.source;
  if (spec.path.empty()) {
    out.pixels = simfinger::FingerImage(spec.seed, spec.capture);
    return true;
  }
  const cv::Mat img = cv::imread(spec.path, cv::IMREAD_GRAYSCALE);
  if (img.cols != veltrum::kFrameWidth || img.rows != veltrum::kFrameHeight || !img.isContinuous()) {
    return false;
  }
  out.pixels.assign(img.data, img.data + img.total());
  return true;
}

int ForEachImage(const CorpusPlan& plan, const std::function<void(const CorpusImage&)>& visit) {
  int n = 0;
  for (const ImageSpec& spec : ListImages(plan)) {
    CorpusImage image;
    if (!LoadImage(spec, image)) continue;
    visit(image);
    ++n;
  }
  return n;
}

bool ExtractBlocks(const std::uint8_t* image, ImageBlocks& out) {
  using namespace veltrum;
  std::vector<std::uint8_t> reference(kFramePixels), mask(kFramePixels), copy(image, image + kFramePixels),
      integral(kIntegralScratchBytes);
  std::vector<std::int16_t> upper(kFrameWidth), lower(kFrameWidth);
  std::vector<std::int32_t> work(kResponseEntries);
  ImageRef enhanced{};
  if (PreprocessImage(reference.data(), {kFrameWidth, kFrameHeight, copy.data()}, enhanced,
                      integral.data(), upper.data(), lower.data(), mask.data()) != 0) {
    return false;
  }
  SampleBlock sample;
  for (int i = 0; i < 3; ++i) {
    out.responses[i].assign(kResponseEntries, 0);
    if (RotateRegion(enhanced.pixels, mask.data(), kFeatureTilts[i]) != 0 ||
        ComputeFeatureBlock(enhanced, out.blocks[i], sample, mask.data(), work.data(),
                            out.responses[i].data()) != 0 ||
        UnpackFeatureBlock(out.blocks[i], kGridCells, true) != 0) {
      return false;
    }
  }
  return true;
}

void InitEngineForTraining() {
  veltrum::InitEngine(0);
  veltrum::BuildLookupTables();
}

std::string Describe(const CorpusPlan& plan, int images, int extracted) {
  std::ostringstream s;
  s << "synthetic fingers " << plan.firstSeed << ".." << plan.firstSeed + plan.syntheticFingers - 1
    << " x " << plan.capturesPerFinger << " captures"
    << (plan.dataDir.empty() ? "" : ", plus the shared real images (manifest.csv)") << "; "
    << extracted << " of " << images << " images extracted";
  return s.str();
}

}  // namespace training
