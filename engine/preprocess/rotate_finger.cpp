// Turns the image and both masks about the finger's middle so that the fitted axis becomes
// horizontal and the middle of column 160 comes to row 120. Fixed point: 2^20 for the rotation,
// 1/256 pixel for the interpolation weights.

#include <cmath>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kH = kFrameHeight;
constexpr int kCentreCol = 160;
constexpr int kCentreRow = 120;
constexpr std::int64_t kOne = 1 << 20;
// Last 1/256 positions whose right and lower neighbours are still in the frame.
constexpr std::int64_t kMaxRow8 = (kH - 1) * 256 - 1;
constexpr std::int64_t kMaxCol8 = (kW - 1) * 256 - 1;

// Middle row of the column nearest to 160 that has both edges (the left one on a tie); the
// frame's middle when no column has.
int CentreRow(const std::int16_t* upper, const std::int16_t* lower) {
  for (int d = 0; d < kW; ++d) {
    for (const int x : {kCentreCol - d, kCentreCol + d}) {
      if (x >= 0 && x < kW && HasBothEdges(upper, lower, x)) return (upper[x] + lower[x] + 1) / 2;
    }
  }
  return kCentreRow;
}

void Resample(const std::uint8_t* src, std::uint8_t* dst, std::int64_t r8, std::int64_t k8) {
  // Weights sum to 2^16, so 255 * 2^16 + 2^15 bounds the sum: 32 bits hold it.
  const int fr = static_cast<int>(r8 & 255), fk = static_cast<int>(k8 & 255);
  const std::uint8_t* p = src + (r8 >> 8) * kW + (k8 >> 8);
  const int v = p[0] * (256 - fr) * (256 - fk) + p[1] * (256 - fr) * fk +
                p[kW] * fr * (256 - fk) + p[kW + 1] * fr * fk + 32768;
  *dst = static_cast<std::uint8_t>(v >> 16);
}

}  // namespace

int RotateFinger(std::uint8_t* image, std::uint8_t* mask1, std::uint8_t* mask2, float slope,
                 const std::int16_t* upper, const std::int16_t* lower) {
  std::uint8_t* planes[3] = {image, mask1, mask2};
  WorkArray<std::uint8_t> copies[3];
  for (auto& copy : copies) {
    copy = AllocArray<std::uint8_t>(kFramePixels);
    if (!copy) return kOutOfMemory;
  }
  for (int i = 0; i < 3; ++i) {
    std::memcpy(copies[i].get(), planes[i], kFramePixels);
    std::memset(planes[i], 0, kFramePixels);
  }

  const float t = -std::atan(slope);
  const auto c = static_cast<std::int64_t>(std::cos(t) * 1048576.0f);
  const auto s = static_cast<std::int64_t>(std::sin(t) * 1048576.0f);
  const std::int64_t rc = CentreRow(upper, lower);

  for (int y = 0; y < kH; ++y) {
    std::int64_t row = rc * kOne + c * (y - kCentreRow) + s * kCentreCol;
    std::int64_t col = kCentreCol * kOne - c * kCentreCol + s * (y - kCentreRow);
    for (int x = 0; x < kW; ++x, row -= s, col += c) {
      const std::int64_t r8 = row >> 12, k8 = col >> 12;
      if (r8 < 0 || r8 > kMaxRow8 || k8 < 0 || k8 > kMaxCol8) continue;
      for (int i = 0; i < 3; ++i) Resample(copies[i].get(), planes[i] + y * kW + x, r8, k8);
    }
  }
  return kOk;
}

}  // namespace veltrum
