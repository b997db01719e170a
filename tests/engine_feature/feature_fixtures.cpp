#include "feature_fixtures.h"

#include <bit>

#include "sim_finger/finger_generator.h"

namespace featuretest {

Plane PreprocessedFinger(std::uint64_t seed, double shiftX) {
  simfinger::Finger finger = simfinger::MakeFinger(seed);
  finger.centreRow = 120;
  finger.halfWidth = 112;
  finger.tilt = 0;
  simfinger::Capture capture;
  capture.shiftX = shiftX * 320.0 / 140.0;
  capture.noiseSigma = 2;
  capture.noiseSeed = seed * 31 + 7;
  Plane p;
  p.image = simfinger::Render(finger, capture, 140, 120);
  p.mask.resize(p.image.size());
  for (std::size_t i = 0; i < p.image.size(); ++i) p.mask[i] = p.image[i] > 70 ? 255 : 0;
  return p;
}

double CodeAgreement(const veltrum::FeatureBlock& a, const veltrum::FeatureBlock& b) {
  long agree = 0, total = 0;
  for (int cell = 0; cell < veltrum::kGridCells; ++cell) {
    if (a.coverage27[cell] < 128 || b.coverage27[cell] < 128) continue;
    for (int w = 0; w < 4; ++w) {
      const std::uint32_t used = w < 3 ? 0xFFFFFFFFu : 0xFFu;
      agree += std::popcount(~(a.codeRows[cell][w] ^ b.codeRows[cell][w]) & used);
    }
    total += 104;
  }
  return total ? static_cast<double>(agree) / total : 0.0;
}

}  // namespace featuretest
