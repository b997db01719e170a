// Tilt of the finger from its edges; an edge that wanders is trusted less (half the slope).

#include <algorithm>
#include <cstdint>

#include "core/image_ref.h"
#include "edges/finger_edges.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;
constexpr int kMaxMeanSquare = 5;

int Varies(const std::int16_t* edge, int c0, int c1) {
  const std::int64_t n = c1 - c0 + 1;
  std::int64_t sum = 0;
  for (int x = c0; x <= c1; ++x) sum += edge[x];
  const std::int64_t mean = sum / n;
  std::int64_t squares = 0;
  for (int x = c0; x <= c1; ++x) squares += (edge[x] - mean) * (edge[x] - mean);
  return squares / n > kMaxMeanSquare ? 1 : 0;
}

}  // namespace

int FitFingerAxis(float& slope, float& intercept, const std::int16_t* upper,
                  const std::int16_t* lower, int& upperVaries, int& lowerVaries) {
  int c0 = 0;
  while (c0 < kW && !HasBothEdges(upper, lower, c0)) ++c0;
  if (c0 == kW || c0 < 20) c0 = 20;
  int c1 = kW - 1;
  while (c1 >= 0 && !HasBothEdges(upper, lower, c1)) --c1;
  if (c1 < 0 || c1 >= 300) c1 = 299;

  // A finger that only starts beyond column 299 leaves nothing to measure: taken as level.
  upperVaries = c1 >= c0 ? Varies(upper, c0, c1) : 0;
  lowerVaries = c1 >= c0 ? Varies(lower, c0, c1) : 0;
  if (upperVaries == 0 && lowerVaries == 0) {
    slope = 0;
    return 0;
  }

  c0 = std::max(c0, 80);
  if (kW - c1 < 80) c1 = 240;
  const std::int64_t n = c1 - c0 + 1;
  std::int64_t sx = 0, sxx = 0, sxy = 0, sy = 0;
  for (int x = c0; x <= c1; ++x) {
    const std::int64_t v = upperVaries && lowerVaries ? (upper[x] + lower[x]) / 2
                           : upperVaries              ? upper[x]
                                                      : lower[x];
    sx += x;
    sxx += static_cast<std::int64_t>(x) * x;
    sxy += x * v;
    sy += v;
  }
  std::int64_t d = n * sxx - sx * sx;
  if (d == 0) d = 1;
  slope = static_cast<float>(static_cast<double>(n * sxy - sx * sy) / static_cast<double>(d));
  intercept = static_cast<float>(static_cast<double>(sy * sxx - sxy * sx) / static_cast<double>(d));
  if (upperVaries != lowerVaries) slope /= 2;
  return 0;
}

}  // namespace veltrum
