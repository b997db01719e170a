#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "preprocess/preprocess_steps.h"

namespace {

// The exchange network against a plain sort, on random pixels and on every 0/1 window (which
// proves a comparator network for all inputs).
TEST(MedianInMask, EqualsTheSortedMiddleOfEveryWindow) {
  constexpr int kW = 320, kH = 240;
  std::mt19937 rng(5);
  std::vector<std::uint8_t> image(kW * kH), mask(kW * kH, 1);
  for (auto& p : image) p = static_cast<std::uint8_t>(rng());
  for (int k = 0; k < 512; ++k) {  // rows 100..102 of columns 1 + 3k hold window k as 0/255
    const int x = 1 + (k % 100) * 3, y = 100 + (k / 100) * 3;
    for (int b = 0; b < 9; ++b) image[(y - 1 + b / 3) * kW + x - 1 + b % 3] = (k >> b) & 1 ? 255 : 0;
  }
  const std::vector<std::uint8_t> source = image;
  ASSERT_EQ(veltrum::MedianInMask(image.data(), mask.data(), 1, kH - 2), 0);
  for (int y = 1; y < kH - 1; ++y) {
    for (int x = 1; x < kW - 1; ++x) {
      std::array<std::uint8_t, 9> w;
      for (int b = 0; b < 9; ++b) w[b] = source[(y - 1 + b / 3) * kW + x - 1 + b % 3];
      std::sort(w.begin(), w.end());
      ASSERT_EQ(image[y * kW + x], w[4]) << y << "," << x;
    }
  }
}

}  // namespace
