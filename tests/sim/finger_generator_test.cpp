#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "sim_finger/finger_generator.h"

namespace {

using simfinger::FingerImage;

double MeanOfRows(const std::vector<std::uint8_t>& img, int r0, int r1, int c0 = 0, int c1 = 320) {
  double sum = 0;
  for (int r = r0; r < r1; ++r) {
    for (int c = c0; c < c1; ++c) sum += img[r * 320 + c];
  }
  return sum / ((r1 - r0) * (c1 - c0));
}

TEST(FingerGenerator, SameSeedAndCaptureGiveSameBytes) {
  EXPECT_EQ(FingerImage(7, 0), FingerImage(7, 0));
  EXPECT_NE(FingerImage(7, 0), FingerImage(7, 1));
  EXPECT_NE(FingerImage(7, 0), FingerImage(8, 0));
}

TEST(FingerGenerator, ImagesHaveDarkBackgroundBrightBandAndNoSaturation) {
  for (std::uint64_t seed : {1u, 2u, 3u, 50u, 999u}) {
    const auto img = FingerImage(seed, 0);
    ASSERT_EQ(img.size(), 320u * 240u);
    EXPECT_LT(*std::max_element(img.begin(), img.end()), 255);
    EXPECT_NEAR(MeanOfRows(img, 0, 40), 30, 8) << seed;
    EXPECT_NEAR(MeanOfRows(img, 205, 240), 30, 8) << seed;
    const double band = MeanOfRows(img, 100, 140);
    EXPECT_GT(band, 110) << seed;
    EXPECT_LT(band, 190) << seed;
  }
}

TEST(FingerGenerator, CapturesOfOneFingerVaryOnlySlightly) {
  const auto finger = simfinger::MakeFinger(11);
  for (int capture = 0; capture < 20; ++capture) {
    const auto c = simfinger::MakeCapture(11, capture);
    EXPECT_LE(std::abs(c.shiftX), 3.0);
    EXPECT_LE(std::abs(c.shiftY), 3.0);
    EXPECT_LE(std::abs(c.rotationDeg), 2.0);
    EXPECT_LE(c.noiseSigma, 4.0);
    EXPECT_NEAR(c.gain, 1.0, 0.06);
  }
  EXPECT_GE(finger.veins.size(), 4u);
  for (const auto& v : finger.veins) {
    EXPECT_GE(v.width, 3.0);
    EXPECT_LE(v.width, 5.0);
    EXPECT_GE(v.depth, 15.0);
    EXPECT_LE(v.depth, 40.0);
  }
}

// The same finger agrees with itself more than with another finger (mean absolute difference).
TEST(FingerGenerator, SameFingerIsCloserThanOtherFinger) {
  auto distance = [](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    double sum = 0;
    for (int r = 90; r < 150; ++r) {
      for (int c = 40; c < 280; ++c) sum += std::abs(a[r * 320 + c] - b[r * 320 + c]);
    }
    return sum;
  };
  simfinger::Capture still;  // no shift, rotation or noise: veins alone differ
  const auto probe = simfinger::Render(simfinger::MakeFinger(21), still);
  still.noiseSigma = 3;
  still.noiseSeed = 5;
  const auto same = simfinger::Render(simfinger::MakeFinger(21), still);
  const auto other = simfinger::Render(simfinger::MakeFinger(22), still);
  EXPECT_LT(distance(probe, same) * 1.5, distance(probe, other));
}

TEST(FingerGenerator, RendersAtOtherSizesWithTheSameLayout) {
  const auto finger = simfinger::MakeFinger(3);
  const auto big = simfinger::Render(finger, simfinger::Capture{}, 640, 480);
  ASSERT_EQ(big.size(), 640u * 480u);
  const auto small = simfinger::Render(finger, simfinger::Capture{});
  // Pixel (2c, 2r) of the large image shows about what pixel (c, r) of the small one shows.
  double diff = 0;
  for (int r = 0; r < 240; r += 4) {
    for (int c = 0; c < 320; c += 4) diff += std::abs(big[(2 * r) * 640 + 2 * c] - small[r * 320 + c]);
  }
  EXPECT_LT(diff / (60 * 80), 6.0);
}

TEST(FingerGenerator, FlawsShowWhatTheyName) {
  using simfinger::Flaw;
  const auto flawed = [](Flaw f) { return simfinger::FlawedFingerImage(6, f); };
  const auto white = flawed(Flaw::kSaturated);
  EXPECT_GT(std::count(white.begin(), white.end(), 255), 76800 / 5);
  EXPECT_LT(MeanOfRows(flawed(Flaw::kDark), 100, 140), 15);
  // Beyond the tip the sensor is still and dark: not a single grey level changes.
  const auto tip = flawed(Flaw::kShort);
  EXPECT_GT(MeanOfRows(tip, 100, 140, 40, 160), 110);
  for (int r = 0; r < 240; ++r) {
    for (int c = 192; c < 320; ++c) ASSERT_EQ(tip[r * 320 + c], tip[192]) << r << "," << c;
  }
  // Without veins the band's middle rows vary only by noise and the slow brightness wave.
  const auto plain = flawed(Flaw::kNoVeins);
  const auto veined = simfinger::FingerImage(6, 0);
  double plainSpread = 0, veinedSpread = 0;
  for (int c = 40; c < 280; ++c) {
    plainSpread += std::abs(plain[110 * 320 + c] - plain[130 * 320 + c]);
    veinedSpread += std::abs(veined[110 * 320 + c] - veined[130 * 320 + c]);
  }
  EXPECT_LT(plainSpread * 2, veinedSpread);
}

}  // namespace
