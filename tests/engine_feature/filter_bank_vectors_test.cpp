// The filter bank in the processor's vectors against its plain loops: the same responses on
// noise, on full-contrast gratings (the largest sums) and at grids placed anywhere, for every
// vector width this processor can run.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include "feature/filter_bank.h"

namespace {

using namespace veltrum;

constexpr int W = 140, H = 120;

enum class Pattern { kNoise, kRows, kColumns, kDiagonal, kChequer };

std::vector<std::uint8_t> Image(Pattern p, int period, std::mt19937& rng) {
  std::vector<std::uint8_t> px(W * H);
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const auto on = [&](int t) { return (t / period) % 2 ? 255 : 0; };
      int v = 0;
      switch (p) {
        case Pattern::kNoise: v = static_cast<int>(rng() % 256); break;
        case Pattern::kRows: v = on(y); break;
        case Pattern::kColumns: v = on(x); break;
        case Pattern::kDiagonal: v = on(x + y); break;
        case Pattern::kChequer: v = on(x) ^ on(y); break;
      }
      px[y * W + x] = static_cast<std::uint8_t>(v);
    }
  }
  return px;
}

TEST(FilterBankVectors, GiveThePlainResponses) {
  std::vector<std::int32_t> vectors(kResponseEntries), plain(kResponseEntries);
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    std::mt19937 rng(20261211);
    for (const Pattern p : {Pattern::kNoise, Pattern::kRows, Pattern::kColumns,
                            Pattern::kDiagonal, Pattern::kChequer}) {
      for (int period = 1; period <= 13; period += 3) {
        auto px = Image(p, period, rng);
        // Every origin the edge pairs can give, -34 (no pair counted) to 85.
        GridParams grid{static_cast<int>(rng() % 120) - 34};
        grid.firstCol = static_cast<int>(rng() % 14);
        const ImageRef image{W, H, px.data()};
        ASSERT_EQ(FilterBankResponses(image, vectors.data(), grid), 0);
        ASSERT_EQ(FilterBankResponsesPlain(image, plain.data(), grid), 0);
        ASSERT_EQ(vectors, plain) << hwy::TargetName(target) << ", pattern "
                                  << static_cast<int>(p) << ", period " << period << ", origin "
                                  << grid.origin << ", first column " << grid.firstCol;
      }
    }
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
}

}  // namespace
