#include <cmath>

#include "quality/quality_measures.h"

namespace veltrum {

float BlockContrastScore(const std::uint8_t* plane, int width, int height) {
  const int bw = width / 12, bh = height / 6;
  float total = 0.0f;
  if (bw <= 0 || bh <= 0) return 0.0f;  // empty blocks add nothing
  const float pixels = static_cast<float>(bw * bh);
  for (int i = 0; i < 6; ++i) {
    for (int k = 0; k < 12; ++k) {
      std::int64_t sum = 0;
      for (int r = i * bh; r < i * bh + bh; ++r) {
        for (int c = k * bw; c < k * bw + bw; ++c) sum += plane[r * width + c];
      }
      const float mean = static_cast<float>(sum) / pixels;
      float squares = 0.0f;
      for (int r = i * bh; r < i * bh + bh; ++r) {
        for (int c = k * bw; c < k * bw + bw; ++c) {
          const float d = static_cast<float>(plane[r * width + c]) - mean;
          squares += d * d;
        }
      }
      const float d = std::sqrt(squares);
      total += d >= 200.0f ? 1.0f : d / 201.0f;
    }
  }
  return total / 72.0f;
}

}  // namespace veltrum
