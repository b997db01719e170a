// The edge search's vector loops against their plain loops: the same mapped and gradient planes
// on noise and on full-contrast stripes (the largest differences), for every vector width this
// processor can run; and the strip profiles, worked row by row, against the sums pixel by pixel.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include "edges/edge_profiles.h"
#include "tables/lookup_tables.h"

namespace {

constexpr int kPixels = 320 * 240;

// The first pixel at which two planes differ, -1 when none.
int FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  const auto at = std::mismatch(a.begin(), a.end(), b.begin()).first;
  return at == a.end() ? -1 : static_cast<int>(at - a.begin());
}

TEST(EdgeVectors, GiveThePlainPlanes) {
  veltrum::BuildLookupTables();
  std::mt19937 rng(20261211);
  std::vector<std::vector<std::uint8_t>> images;
  for (const int period : {0, 1, 2, 5}) {
    std::vector<std::uint8_t> image(kPixels);
    for (int i = 0; i < kPixels; ++i) {
      const int row = i / 320;
      image[i] = period == 0 ? static_cast<std::uint8_t>(rng())
                             : static_cast<std::uint8_t>((row / period) % 2 ? 255 : 0);
    }
    images.push_back(image);
  }
  std::vector<std::uint8_t> mapped(kPixels), gradient(kPixels), plainMapped(kPixels),
      plainGradient(kPixels);
  // Back to what the processor offers however the test ends.
  struct RestoreTargets {
    ~RestoreTargets() { hwy::SetSupportedTargetsForTest(0); }
  } restore;
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    for (const auto& image : images) {
      std::fill(gradient.begin(), gradient.end(), std::uint8_t{77});  // every byte is written
      veltrum::BuildGradientPlane(image.data(), mapped.data(), gradient.data());
      veltrum::BuildGradientPlanePlain(image.data(), plainMapped.data(), plainGradient.data());
      ASSERT_EQ(FirstDifference(mapped, plainMapped), -1) << hwy::TargetName(target) << " mapped";
      ASSERT_EQ(FirstDifference(gradient, plainGradient), -1) << hwy::TargetName(target)
                                                              << " gradient";
    }
  }
}

TEST(StripProfiles, SumEachStripsRowDifferences) {
  std::mt19937 rng(3);
  std::vector<std::uint8_t> image(kPixels);
  for (int i = 0; i < kPixels; ++i) image[i] = i / 320 % 2 ? 255 : static_cast<std::uint8_t>(rng() % 40);
  veltrum::StripProfiles profiles;
  for (auto& p : profiles) p.fill(-1);
  veltrum::StripDifferenceProfiles(image.data(), profiles);
  for (int j = 0; j < 32; ++j) {
    EXPECT_EQ(profiles[j][0], 0);
    EXPECT_EQ(profiles[j][239], 0);
    for (int r = 1; r < 239; ++r) {
      int sum = 0;
      for (int c = 10 * j; c < 10 * j + 10; ++c) {
        sum += std::abs(image[(r + 1) * 320 + c] - image[(r - 1) * 320 + c]);
      }
      ASSERT_EQ(profiles[j][r], sum) << "strip " << j << ", row " << r;
    }
  }
}

}  // namespace
