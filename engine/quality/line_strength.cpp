// Line strength of a normalised 288 x 96 crop: per block, the darkest valley across the local
// ridge orientation, matched against six valley profiles and weighted by the block's spread.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "quality/quality_check.h"
#include "tables/lookup_tables.h"

namespace veltrum {
namespace {

constexpr int kCropWidth = 288;
constexpr int kBlockRows = 10, kBlockCols = 33;  // 8 x 8 blocks over rows 8..87, columns 12..275
constexpr int kLines = 24, kTaps = 5, kKernelTaps = 17;
constexpr float kPi = 3.14159265358979323846f;

using Kernel = std::array<float, kKernelTaps>;

// Zero-mean inverted Gaussians, scaled so that a 5-pixel line sum responds in grey levels.
std::array<Kernel, 6> ValleyKernels() {
  constexpr std::array<float, 6> sigmas = {2.0f, 2.3784f, 2.8284f, 3.3636f, 4.0f, 4.7568f};
  std::array<Kernel, 6> kernels;
  for (int s = 0; s < 6; ++s) {
    Kernel& g = kernels[s];
    float mean = 0.0f;
    for (int x = -8; x <= 8; ++x) {
      g[x + 8] = -std::exp(-static_cast<float>(x * x) / (2.0f * sigmas[s] * sigmas[s]));
      mean += g[x + 8];
    }
    mean /= static_cast<float>(kKernelTaps);
    float energy = 0.0f;
    for (float& v : g) {
      v -= mean;
      energy += v * v;
    }
    const float scale = std::max(std::sqrt(energy) * std::sqrt(5.0f), 0.0000001f);
    for (float& v : g) v /= scale;
  }
  return kernels;
}

struct BlockMoments {
  std::int32_t sxy = 0, sd = 0;
};

std::array<std::array<BlockMoments, kBlockCols>, kBlockRows> OrientationMoments(
    const std::uint8_t* p) {
  std::array<std::array<BlockMoments, kBlockCols>, kBlockRows> blocks{};
  for (int r = 8; r < 8 + 8 * kBlockRows; ++r) {
    const std::uint8_t* a = p + (r - 1) * kCropWidth;
    const std::uint8_t* b = a + kCropWidth;
    const std::uint8_t* d = b + kCropWidth;
    for (int c = 12; c < 12 + 8 * kBlockCols; ++c) {
      const int gx = (a[c + 1] - a[c - 1]) + 2 * (b[c + 1] - b[c - 1]) + (d[c + 1] - d[c - 1]);
      const int gy = (d[c - 1] - a[c - 1]) + 2 * (d[c] - a[c]) + (d[c + 1] - a[c + 1]);
      BlockMoments& m = blocks[(r - 8) / 8][(c - 12) / 8];
      m.sxy += gx * gy;
      m.sd += gx * gx - gy * gy;
    }
  }
  return blocks;
}

// Orientation index 0..31 of the ridge across 2 x 2 blocks.
int Orientation(std::int32_t sxy, std::int32_t sd) {
  float theta = std::atan2(2.0f * static_cast<float>(sxy), static_cast<float>(sd));
  if (theta < 0.0f) theta += 2.0f * kPi;
  theta = theta / 2.0f + kPi / 2.0f;
  if (theta > kPi) theta -= kPi;
  const int o = static_cast<int>(0.5f + 32.0f * theta / kPi);
  return o >= 32 ? 0 : o;
}

float BlockStrength(const std::uint8_t* centre, const std::int16_t* offsets,
                    const std::array<Kernel, 6>& kernels) {
  std::array<std::int32_t, kLines> s{}, q{};
  for (int k = 0; k < kLines; ++k) {
    for (int t = 0; t < kTaps; ++t) {
      const int v = centre[offsets[k * kTaps + t]];
      s[k] += v;
      q[k] += v * v;
    }
  }
  int valley = 4;
  for (int k = 5; k <= 19; ++k) {
    if (s[k - 1] + s[k] + s[k + 1] < s[valley - 1] + s[valley] + s[valley + 1]) valley = k;
  }
  // Valleys near the ends of the line count less.
  const auto squared = [](float x) { return x * x; };
  float w = 1.0f;
  if (valley < 8) w = squared(0.25f * static_cast<float>(valley - 3));
  if (valley >= 16) w = squared(0.25f * static_cast<float>(20 - valley));

  const int first = std::clamp(valley, 8, 15) - 8;
  std::int64_t sumS = 0, sumQ = 0;
  for (int k = first; k < first + kKernelTaps; ++k) {
    sumS += s[k];
    sumQ += q[k];
  }
  // 85 * variance from integers: never negative, so a flat block gets spread 0, not NaN.
  const std::int64_t spread85 = 85 * sumQ - sumS * sumS;
  const float sd = static_cast<float>(std::sqrt(static_cast<double>(spread85) / 85.0));
  if (sd < 60.0f) return 0.0f;
  if (sd < 80.0f) w *= (sd - 60.0f) / 20.0f;
  float best = -1000.0f;
  for (const Kernel& kernel : kernels) {
    float response = 0.0f;
    for (int k = 0; k < kKernelTaps; ++k) response += static_cast<float>(s[first + k]) * kernel[k];
    if (response > best) best = response;
  }
  w *= best / (5.0f * sd) * 255.0f + 0.5f;
  return std::max(w, 0.0f);
}

}  // namespace

float MeanLineStrength(const std::uint8_t* crop) {
  const auto kernels = ValleyKernels();
  const auto blocks = OrientationMoments(crop);
  const auto& lines = Tables().OrientedLineOffsets;
  float total = 0.0f;
  for (int i = 0; i < kBlockRows - 1; ++i) {
    for (int j = 0; j < kBlockCols - 1; ++j) {
      const std::int32_t sxy =
          blocks[i][j].sxy + blocks[i][j + 1].sxy + blocks[i + 1][j].sxy + blocks[i + 1][j + 1].sxy;
      const std::int32_t sd =
          blocks[i][j].sd + blocks[i][j + 1].sd + blocks[i + 1][j].sd + blocks[i + 1][j + 1].sd;
      const int o = Orientation(sxy, sd);
      const std::uint8_t* centre = crop + (15 + 8 * i) * kCropWidth + 15 + 8 * j;
      total += BlockStrength(centre, lines.data() + o * kLines * kTaps, kernels);
    }
  }
  return total / 288.0f;
}

}  // namespace veltrum
