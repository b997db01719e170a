#include <array>

#include "quality/quality_measures.h"

namespace veltrum {

int OtsuThreshold(const std::uint8_t* plane, int width, int height) {
  const std::size_t n = static_cast<std::size_t>(width) * height;
  std::array<std::size_t, 256> histogram{};
  for (std::size_t i = 0; i < n; ++i) ++histogram[plane[i]];
  std::array<float, 256> p;
  for (int g = 0; g < 256; ++g) {
    p[g] = static_cast<float>(histogram[g]) / static_cast<float>(n);
  }
  float mu = 0.0f;
  for (int g = 0; g < 256; ++g) mu += static_cast<float>(g) * p[g];
  // The grey levels that occur: adding an empty level's 0 leaves a class sum as it is.
  std::array<int, 256> levels;
  int count = 0;
  for (int g = 0; g < 256; ++g) {
    if (histogram[g] != 0) levels[count++] = g;
  }
  float best = 0.0f;
  int threshold = 0;
  // The lower class grows by one level per t, in grey order as each sum is defined.
  float w0 = 0.0f, m0 = 0.0f;
  int first = 0;  // the first level above t
  for (int t = 0; t < 256; ++t) {
    w0 += p[t];
    m0 += static_cast<float>(t) * p[t];
    while (first < count && levels[first] <= t) ++first;
    float w1 = 0.0f, m1 = 0.0f;
    for (int k = first; k < count; ++k) {
      const int g = levels[k];
      w1 += p[g];
      m1 += static_cast<float>(g) * p[g];
    }
    const float mu0 = w0 == 0.0f ? 0.0f : m0 / w0;
    const float mu1 = w1 == 0.0f ? 0.0f : m1 / w1;
    const float sigma = w0 * (mu0 - mu) * (mu0 - mu) + w1 * (mu1 - mu) * (mu1 - mu);
    if (sigma > best) {
      best = sigma;
      threshold = t;
    }
  }
  return threshold;
}

}  // namespace veltrum
