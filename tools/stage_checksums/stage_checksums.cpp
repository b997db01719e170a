#include "stage_checksums.h"

#include "content_hash.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>

#include <opencv2/imgcodecs.hpp>

#include "api/operations.h"
#include "core/image_ref.h"
#include "core/stage_observer.h"
#include "feature/feature_block.h"
#include "model/vein_model.h"
#include "sim_finger/finger_generator.h"
#include "veltrum.h"

namespace stagesums {
namespace {

using Pixels = std::vector<std::uint8_t>;

struct Finger {
  std::string name;
  std::vector<Pixels> captures;  // four: three to enrol, one probe
};

using fvtools::Fnv1a;
using fvtools::Hex;

// Folds every output of a stage (all its parts, in call order) into one checksum and a count.
class Recorder final : public veltrum::StageObserver {
 public:
  void Stage(const char* stage, const char* /*part*/, const void* data,
             std::size_t bytes) override {
    const std::string key = stage;
    auto [it, fresh] = sums_.try_emplace(key, Sum{});
    if (fresh) order_.push_back(key);
    it->second.calls++;
    it->second.hash = Fnv1a(data, bytes, it->second.hash);
  }
  void Emit(const std::string& prefix, std::vector<std::string>& rows) const {
    for (const auto& key : order_) {
      const Sum& s = sums_.at(key);
      rows.push_back(prefix + " " + key + " " + std::to_string(s.calls) + ":" + Hex(s.hash));
    }
  }

 private:
  struct Sum {
    int calls = 0;
    std::uint64_t hash = 14695981039346656037ull;
  };
  std::map<std::string, Sum> sums_;
  std::vector<std::string> order_;
};

std::vector<Finger> SyntheticFingers() {
  std::vector<Finger> fingers;
  for (std::uint64_t seed : {101, 102, 103, 104, 105, 106}) {
    Finger f{"sim-" + std::to_string(seed), {}};
    for (int c = 0; c < 4; ++c) f.captures.push_back(simfinger::FingerImage(seed, c));
    fingers.push_back(std::move(f));
  }
  return fingers;
}

// Single images that the pipeline should refuse or find hard.
std::vector<std::pair<std::string, Pixels>> FlawedImages() {
  using simfinger::Flaw;
  const std::pair<const char*, Flaw> flaws[] = {
      {"saturated", Flaw::kSaturated}, {"narrow", Flaw::kNarrow}, {"offCentre", Flaw::kOffCentre},
      {"short", Flaw::kShort},         {"dark", Flaw::kDark},     {"noVeins", Flaw::kNoVeins}};
  std::vector<std::pair<std::string, Pixels>> images;
  for (const auto& [name, flaw] : flaws) {
    images.emplace_back(std::string("sim-201-") + name, simfinger::FlawedFingerImage(201, flaw));
  }
  images.emplace_back("blank", Pixels(veltrum::kFramePixels, 30));
  return images;
}

// A few fingers of each real set, four captures each; none when the folder is absent.
std::vector<Finger> RealFingers(const std::string& dataDir) {
  std::vector<Finger> fingers;
  if (dataDir.empty()) return fingers;
  const std::pair<const char*, std::vector<const char*>> sets[] = {
      {"real-a1", {"real-a/device1/590-1-1-1.png", "real-a/device1/590-1-2-1.png",
                   "real-a/device1/590-1-3-1.png", "real-a/device1/590-1-4-1.png"}},
      {"real-a2", {"real-a/device2/590-2-1-1.png", "real-a/device2/590-2-2-1.png",
                   "real-a/device2/590-2-3-1.png", "real-a/device2/590-2-4-1.png"}},
      {"real-b01", {"real-b/F0101.png", "real-b/F0104.png", "real-b/F0108.png",
                    "real-b/F0111.png"}},
      {"real-c01", {"real-c/c01-01.png", "real-c/c01-02.png", "real-c/c01-03.png",
                    "real-c/c01-04.png"}},
  };
  for (const auto& [name, paths] : sets) {
    Finger f{name, {}};
    for (const char* path : paths) {
      const cv::Mat img =
          cv::imread((std::filesystem::path(dataDir) / path).string(), cv::IMREAD_GRAYSCALE);
      if (img.cols != veltrum::kFrameWidth || img.rows != veltrum::kFrameHeight ||
          !img.isContinuous()) {
        break;
      }
      f.captures.emplace_back(img.data, img.data + img.total());
    }
    if (f.captures.size() == paths.size()) fingers.push_back(std::move(f));
  }
  return fingers;
}

class ModeRun {
 public:
  ModeRun(int mode, std::vector<std::string>& rows) : mode_("m" + std::to_string(mode)), rows_(rows) {}

  // Quality check, quality assessment and extraction of one image, every stage observed.
  void Image(const std::string& name, const Pixels& image, veltrum::VeinFeature* feature) {
    const std::string subject = mode_ + " " + name;
    Recorder quality;
    float params[6] = {};
    float measures[2] = {};
    int checked, assessed;
    {
      veltrum::ListenToStages listen(quality);
      checked = VLT_FV_Quality(image.data(), veltrum::kFrameHeight, veltrum::kFrameWidth, params);
      assessed = VLT_FV_QualityAssess(measures[0], measures[1], image.data(),
                                      veltrum::kFrameHeight, veltrum::kFrameWidth, 0.5f, 0.0f);
    }
    quality.Emit(subject, rows_);
    Row(subject, "quality", std::to_string(checked) + ":" + Hex(Fnv1a(params, sizeof params)));
    Row(subject, "assess", std::to_string(assessed) + ":" + Hex(Fnv1a(measures, sizeof measures)));

    Recorder stages;
    veltrum::VeinFeature out{};
    int status;
    {
      veltrum::ListenToStages listen(stages);
      status = veltrum::ExtractMatchFeature(image.data(), reinterpret_cast<unsigned char*>(&out));
    }
    stages.Emit(subject, rows_);
    Row(subject, "feature", std::to_string(status) + ":" + Hex(Fnv1a(&out, sizeof out)));
    if (feature != nullptr) *feature = status == 0 ? out : veltrum::VeinFeature{};
  }

  // Enrolment from the first `count` captures; the model's bytes go to `model`.
  void Enrol(const Finger& f, int count, veltrum::VeinModel* model) {
    const std::string subject = mode_ + " " + f.name + "-enrol" + std::to_string(count);
    Recorder stages;
    veltrum::VeinModel out{};
    int status;
    {
      veltrum::ListenToStages listen(stages);
      status = veltrum::EnrollModel(f.captures[0].data(), count > 1 ? f.captures[1].data() : nullptr,
                                    count > 2 ? f.captures[2].data() : nullptr,
                                    reinterpret_cast<unsigned char*>(&out));
    }
    stages.Emit(subject, rows_);
    Row(subject, "model", std::to_string(status) + ":" + Hex(Fnv1a(&out, sizeof out)));
    if (model != nullptr) *model = status == 0 ? out : veltrum::VeinModel{};
  }

  void Match(const std::string& model, const veltrum::VeinModel& m, const std::string& probe,
             const veltrum::VeinFeature& feature) {
    std::int8_t shiftRow = 20, shiftCol = 0;
    int raw = -1;
    veltrum::MatchFeatureToModel(shiftRow, shiftCol, reinterpret_cast<const unsigned char*>(&m),
                                 reinterpret_cast<const unsigned char*>(&feature), &raw);
    std::ostringstream value;
    value << raw << "@" << int(shiftRow) << "," << int(shiftCol);
    Row(mode_ + " " + model, "match-" + probe, value.str());
  }

  void Search(const std::string& list, const std::vector<veltrum::VeinModel>& models,
              const std::string& probe, const veltrum::VeinFeature& feature) {
    const int count = static_cast<int>(models.size());
    int position = -1, raw = -1;
    const int status = veltrum::SearchModelsByFeature(
        reinterpret_cast<const unsigned char*>(models.data()), &count,
        reinterpret_cast<const unsigned char*>(&feature), &position, &raw);
    Row(mode_ + " " + list, "search-" + probe,
        std::to_string(status) + ":" + std::to_string(position) + ":" + std::to_string(raw));
  }

 private:
  void Row(const std::string& subject, const std::string& key, const std::string& value) {
    rows_.push_back(subject + " " + key + " " + value);
  }

  std::string mode_;
  std::vector<std::string>& rows_;
};

}  // namespace

bool IsRealRow(const std::string& row) {
  const auto space = row.find(' ');
  return space != std::string::npos && row.compare(space + 1, 4, "real") == 0;
}

std::vector<std::string> ComputeChecksums(const std::string& dataDir) {
  static_assert(sizeof(veltrum::VeinModel) == kVltModelBytes);
  const std::vector<Finger> synthetic = SyntheticFingers();
  const std::vector<Finger> real = RealFingers(dataDir);
  const auto flawed = FlawedImages();
  std::vector<std::string> rows;
  for (int mode = 0; mode <= 2; ++mode) {
    VLT_FV_Init(mode);
    ModeRun run(mode, rows);
    for (const auto& [name, image] : flawed) run.Image(name, image, nullptr);
    // Synthetic fingers first, then real ones; a real subject is named "real..." so the rows
    // that need the data folder are known by their subject alone.
    for (const auto* group : {&synthetic, &real}) {
      std::vector<veltrum::VeinModel> models(group->size());
      std::vector<veltrum::VeinFeature> probes(group->size());
      for (std::size_t i = 0; i < group->size(); ++i) {
        const Finger& f = (*group)[i];
        for (int c = 0; c < 3; ++c) run.Image(f.name + "-c" + std::to_string(c), f.captures[c], nullptr);
        run.Image(f.name + "-c3", f.captures[3], &probes[i]);
        if (i == 0) {
          run.Enrol(f, 1, nullptr);
          run.Enrol(f, 2, nullptr);
        }
        run.Enrol(f, 3, &models[i]);
      }
      for (std::size_t i = 0; i < group->size(); ++i) {
        for (std::size_t j = 0; j < group->size(); ++j) {
          run.Match((*group)[i].name, models[i], (*group)[j].name + "-c3", probes[j]);
        }
      }
      const std::string list = group == &real ? "real-list" : "sim-list";
      for (std::size_t j = 0; j < group->size(); ++j) {
        run.Search(list, models, (*group)[j].name + "-c3", probes[j]);
      }
    }
  }
  VLT_FV_Release();
  return rows;
}

}  // namespace stagesums
