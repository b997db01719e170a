#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "feature/filter_bank.h"
#include "model/sample_cells.h"
#include "sim_finger/random.h"
#include "tables/cell_weight_tables.h"
#include "tables/filter_kernel_tables.h"

namespace {

using namespace veltrum;

constexpr int W = 140, H = 120;

// The full two-dimensional kernel of one scale and orientation, from the stored rows of that
// orientation (rows 9-15 are the mirrored rows the separable passes never read).
struct Kernel2D {
  int h;
  std::vector<std::int64_t> even, odd;  // [(dy + h) * (2h + 1) + dx + h]
};

Kernel2D MakeKernel(int s, int k) {
  const ScaleKernels& t = FilterKernelTables[s];
  const int h = t.halfSize, w = t.Width(), j = k <= 8 ? k : 16 - k;
  Kernel2D K{h, std::vector<std::int64_t>(w * w), std::vector<std::int64_t>(w * w)};
  for (int dy = -h; dy <= h; ++dy) {
    const std::int64_t ve = dy == 0 ? 200 : t.Even(std::abs(dy), j);
    const std::int64_t vo = dy == 0 ? 0 : (dy < 0 ? t.Odd(-dy, j) : -t.Odd(dy, j));
    for (int dx = -h; dx <= h; ++dx) {
      const std::int64_t a = t.t1[k * w + h + dx], b = t.t2[k * w + h + dx];
      K.even[(dy + h) * w + dx + h] = a * ve - b * vo;
      K.odd[(dy + h) * w + dx + h] = a * vo + b * ve;
    }
  }
  return K;
}

struct Reference {
  std::int32_t response;
  std::int64_t even;
};

Reference ReferenceResponse(const std::vector<std::uint8_t>& p, const Kernel2D& K, int y, int x,
                            int index) {
  const int h = K.h, w = 2 * h + 1;
  std::int64_t even = 0, odd = 0, box = 0;
  for (int dy = -h; dy <= h; ++dy) {
    for (int dx = -h; dx <= h; ++dx) {
      const int yy = y + dy, xx = x + dx;
      if (yy < 0 || yy >= H || xx < 0 || xx >= W) continue;
      const int v = p[yy * W + xx];
      even += K.even[(dy + h) * w + dx + h] * v;
      odd += K.odd[(dy + h) * w + dx + h] * v;
      box += v;
    }
  }
  const std::int64_t m = box >> 4;
  const float e = static_cast<float>((even - CellWeightTableA[index] * m) >> 12);
  const float o = static_cast<float>((odd - CellWeightTableB[index] * m) >> 12);
  const float sum = e * e + o * o;
  const float root = std::sqrt(sum);
  return {static_cast<std::int32_t>(640.0f * root), even};
}

std::vector<std::uint8_t> Noise(std::uint64_t seed) {
  simfinger::Random random(seed);
  std::vector<std::uint8_t> p(W * H);
  for (auto& v : p) v = static_cast<std::uint8_t>(random.UniformInt(0, 255));
  return p;
}

// White wherever the scale-1, orientation-0 even kernel centred on cell (7, 11) at origin 25 is
// positive: that filter's sum comes within 10% of the 32-bit limit.
std::vector<std::uint8_t> MatchedPattern(const Kernel2D& K) {
  std::vector<std::uint8_t> p(W * H, 0);
  const int w = 2 * K.h + 1;
  for (int dy = -K.h; dy <= K.h; ++dy) {
    for (int dx = -K.h; dx <= K.h; ++dx) {
      if (K.even[(dy + K.h) * w + dx + K.h] > 0) p[(60 + dy) * W + 72 + dx] = 255;
    }
  }
  return p;
}

TEST(FilterBank, SeparablePassesEqualTheFullKernel) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> image;
    int origin;
  };
  std::vector<Kernel2D> kernels;
  for (int s = 0; s < kScales; ++s) {
    for (int k = 0; k < kOrientations; ++k) kernels.push_back(MakeKernel(s, k));
  }
  const Case cases[] = {
      {"noise, nominal origin", Noise(1), 25},
      {"noise, grid at the top", Noise(2), 0},
      {"noise, grid at the bottom", Noise(3), 49},
      {"origin of a frame without finger", Noise(4), -34},
      {"origin of a finger at the bottom edge", Noise(5), 85},
      {"matched pattern", MatchedPattern(kernels[16]), 25},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> pixels = c.image;
    const ImageRef image{W, H, pixels.data()};
    GridParams grid;
    grid.origin = c.origin;
    std::vector<std::int32_t> responses(kResponseEntries, -1);
    ASSERT_EQ(FilterBankResponses(image, responses.data(), grid), 0) << c.what;
    std::int64_t largestEven = 0;
    int mismatches = 0;
    for (int r : {0, 1, 7, 13, 14}) {
      for (int col = 0; col < kGridCols; ++col) {
        const int cell = r * kGridCols + col;
        for (int s = 0; s < kScales; ++s) {
          for (int k = 0; k < kOrientations; ++k) {
            const int i = ResponseIndex(cell, s, k);
            const Reference ref = ReferenceResponse(c.image, kernels[s * 16 + k], c.origin + 5 * r,
                                                    6 + 6 * col, i);
            largestEven = std::max(largestEven, std::abs(ref.even));
            if (responses[i] != ref.response && ++mismatches <= 5) {
              ADD_FAILURE() << c.what << ": cell " << cell << " scale " << s << " orientation "
                            << k << " gives " << responses[i] << ", expected " << ref.response;
            }
          }
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << c.what;
    for (std::int32_t v : responses) ASSERT_GE(v, 0) << c.what;
    if (std::string(c.what) == "matched pattern") {
      EXPECT_GT(largestEven, std::numeric_limits<std::int32_t>::max() / 10 * 9);
    }
  }
}

TEST(FilterBank, FlatBlackImageGivesZeroResponses) {
  std::vector<std::uint8_t> pixels(W * H, 0);
  std::vector<std::int32_t> responses(kResponseEntries, -1);
  ASSERT_EQ(FilterBankResponses({W, H, pixels.data()}, responses.data(), GridParams{25}), 0);
  for (std::int32_t v : responses) ASSERT_EQ(v, 0);
}

TEST(FilterBank, EveryWorkingAllocationCanFail) {
  std::vector<std::uint8_t> pixels = Noise(9);
  std::vector<std::int32_t> responses(kResponseEntries);
  for (int n = 1; n <= 5; ++n) {
    FailNthAllocation(n);
    EXPECT_EQ(FilterBankResponses({W, H, pixels.data()}, responses.data(), GridParams{25}), -1)
        << "allocation " << n;
  }
  FailNthAllocation(6);
  EXPECT_EQ(FilterBankResponses({W, H, pixels.data()}, responses.data(), GridParams{25}), 0);
  FailNthAllocation(0);
}

}  // namespace
