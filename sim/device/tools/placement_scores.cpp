// Genuine scores between placements, for the simulated device beside real fingers. A later
// placement is scored as an enrolment scores it: the template of one capture alone, matched by
// another capture of the same finger.
//
//   placement_scores [data dir] [--fingers N] [--placements N] [--seed S]
//                    [--spread along across rotation roll press light]
// Real sets: every ordered pair of captures of each finger (each image through the blob's
// JPEG, as the device library hands frames out). Simulated: N fingers, each placed and lifted
// N times on the simulated device through the real device library, every ordered pair.
// The data dir defaults to $FV_DATA_DIR; the spreads to the simulator's own.

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "dravex.h"
#include "sim_device/sim_device.h"
#include "training_corpus.h"
#include "veltrum.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Summary {
  std::size_t count = 0;
  double p5 = 0, median = 0, p95 = 0, mean = 0, inWindow = 0;
};

Summary Summarise(std::vector<float> v) {
  Summary s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  auto at = [&](double q) { return v[static_cast<std::size_t>(q * (v.size() - 1) + 0.5)]; };
  s.count = v.size();
  s.p5 = at(0.05);
  s.median = at(0.5);
  s.p95 = at(0.95);
  double sum = 0;
  long window = 0;
  for (float x : v) {
    sum += x;
    window += x > 0.5f && x < 0.951f;  // the enrolment's same-finger window
  }
  s.mean = sum / v.size();
  s.inWindow = 100.0 * window / v.size();
  return s;
}

void Print(const char* name, const std::vector<float>& scores) {
  const Summary s = Summarise(scores);
  std::printf("%-26s %6zu %6.3f %6.3f %6.3f %6.3f %8.1f%%\n", name, s.count, s.p5, s.median, s.p95,
              s.mean, s.inWindow);
}

// Every ordered pair of one finger's images: the first's one-image template, the second probed.
void ScorePairs(const std::vector<Bytes>& images, std::vector<float>& out) {
  std::vector<Bytes> models(images.size(), Bytes(kVltModelBytes));
  std::vector<Bytes> features(images.size(), Bytes(kVltFeatureBytes));
  std::vector<bool> modelOk(images.size()), featureOk(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    int reserved = 0;
    modelOk[i] = VLT_FV_Enroll(images[i].data(), nullptr, nullptr, kVltImageHeight, kVltImageWidth,
                               &reserved, models[i].data()) == 0;
    featureOk[i] =
        VLT_FV_ExtractFeature(images[i].data(), kVltImageHeight, kVltImageWidth, features[i].data()) == 0;
  }
  for (std::size_t i = 0; i < images.size(); ++i) {
    for (std::size_t j = 0; j < images.size(); ++j) {
      if (i == j || !modelOk[i] || !featureOk[j]) continue;
      float s = 0;
      if (VLT_FV_MatchFeature(models[i].data(), features[j].data(), &s) == 0) out.push_back(s);
    }
  }
}

// Real fingers by set (real-a by capture device), from the data folder's manifest.
std::map<std::string, std::vector<float>> RealScores(const std::string& dir) {
  training::CorpusPlan plan;
  plan.syntheticFingers = 0;
  plan.dataDir = dir;
  std::map<std::string, std::map<std::string, std::vector<Bytes>>> sets;
  training::ForEachImage(plan, [&](const training::CorpusImage& image) {
    const cv::Mat pixels(kVltImageHeight, kVltImageWidth, CV_8UC1,
                         const_cast<unsigned char*>(image.pixels.data()));
    std::vector<unsigned char> jpeg;
    cv::imencode(".jpg", pixels, jpeg, {cv::IMWRITE_JPEG_QUALITY, 85});
    const cv::Mat back = cv::imdecode(jpeg, cv::IMREAD_GRAYSCALE);
    const std::string set = image.source == "real-a" ? image.source + " " + image.note : image.source;
    sets[set][image.finger].emplace_back(back.data, back.data + back.total());
  });
  std::map<std::string, std::vector<float>> scores;
  for (const auto& [set, fingers] : sets) {
    for (const auto& [finger, images] : fingers) ScorePairs(images, scores[set]);
  }
  return scores;
}

bool WaitForState(int wanted) {
  for (int i = 0; i < 5000; ++i) {
    int state = -1;
    if (fvdev_get_state(&state) && state == wanted) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

Bytes GrabPixels() {
  Bytes blob(78000);
  for (int i = 0; i < 5000; ++i) {
    unsigned length = static_cast<unsigned>(blob.size());
    if (fvdev_grab(blob.data(), &length)) {
      blob.resize(length);
      // Back to pixels through the engine's cipher and the JPEG codec.
      Bytes plain(blob.size());
      VLT_Decrypt(plain.data(), blob.data(), static_cast<int>(blob.size()));
      const cv::Mat image = cv::imdecode(plain, cv::IMREAD_GRAYSCALE);
      if (image.total() != static_cast<std::size_t>(kVltImageWidth * kVltImageHeight)) return {};
      return Bytes(image.data, image.data + image.total());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return {};
}

// Each finger placed and lifted `placements` times on the simulated device.
std::vector<float> SimulatedScores(int fingers, int placements, unsigned long long firstSeed,
                                   const FvSimPlacementSpread* spread, int& lost) {
  std::vector<float> scores;
  fvsim_reset();  // also leaves the demonstration set-up, which places fingers by the clock
  if (spread != nullptr && !fvsim_set_placement_spread(spread)) {
    std::fprintf(stderr, "the simulator refuses those spreads\n");
    return scores;
  }
  fvsim_plug_type(1);
  if (!fvdev_open(0, nullptr)) {
    std::fprintf(stderr, "the simulated device does not open\n");
    return scores;
  }
  for (int f = 0; f < fingers; ++f) {
    fvsim_set_finger_seed(0, firstSeed + static_cast<unsigned long long>(f));
    std::vector<Bytes> images;
    for (int p = 0; p < placements; ++p) {
      fvsim_set_finger(0, 1);
      Bytes image = WaitForState(3) ? GrabPixels() : Bytes();
      if (image.empty()) ++lost; else images.push_back(std::move(image));
      fvsim_set_finger(0, 0);
      WaitForState(0);
    }
    ScorePairs(images, scores);
  }
  fvdev_close();
  return scores;
}

}  // namespace

int main(int argc, char** argv) {
  const char* env = std::getenv("FV_DATA_DIR");
  std::string dataDir = env ? env : "";
  int fingers = 40, placements = 5;
  unsigned long long seed = 70000;
  FvSimPlacementSpread spread{};
  bool ownSpread = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fingers") == 0 && i + 1 < argc) {
      fingers = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--placements") == 0 && i + 1 < argc) {
      placements = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (std::strcmp(argv[i], "--spread") == 0 && i + 6 < argc) {
      double* fields[] = {&spread.shiftAlong, &spread.shiftAcross, &spread.rotationDeg,
                          &spread.rollDeg,    &spread.press,       &spread.light};
      for (double* field : fields) *field = std::atof(argv[++i]);
      ownSpread = true;
    } else if (argv[i][0] != '-') {
      dataDir = argv[i];
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  VLT_FV_Init(0);
  std::printf("%-26s %6s %6s %6s %6s %6s %9s\n", "genuine scores", "pairs", "p5", "median", "p95",
              "mean", "0.5-0.951");
  if (!dataDir.empty()) {
    std::vector<float> all;
    for (const auto& [set, scores] : RealScores(dataDir)) {
      Print(set.c_str(), scores);
      all.insert(all.end(), scores.begin(), scores.end());
    }
    Print("real, all sets", all);
  }
  int lost = 0;
  const std::vector<float> simulated =
      SimulatedScores(fingers, placements, seed, ownSpread ? &spread : nullptr, lost);
  fvsim_get_placement_spread(&spread);
  char name[64];
  std::snprintf(name, sizeof name, "simulated, %d x %d", fingers, placements);
  Print(name, simulated);
  std::printf("spreads: along %.2f px, across %.2f px, rotation %.2f deg, roll %.2f deg, press %.3f, light %.3f; "
              "placements without a frame %d\n",
              spread.shiftAlong, spread.shiftAcross, spread.rotationDeg, spread.rollDeg, spread.press,
              spread.light, lost);
  return 0;
}
