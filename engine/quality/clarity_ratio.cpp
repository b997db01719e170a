#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/alloc.h"
#include "core/status.h"
#include "quality/quality_measures.h"

namespace veltrum {
namespace {

// Positive part of the horizontal Sobel derivative; the outer rows and columns stay 255.
void PositiveSobelX(const std::uint8_t* p, int width, int height, std::uint8_t* q) {
  std::memset(q, 255, static_cast<std::size_t>(width) * height);
  for (int r = 1; r <= height - 2; ++r) {
    const std::uint8_t* a = p + (r - 1) * width;
    const std::uint8_t* b = a + width;
    const std::uint8_t* d = b + width;
    for (int c = 1; c <= width - 2; ++c) {
      const int g = (a[c + 1] - a[c - 1]) + 2 * (b[c + 1] - b[c - 1]) + (d[c + 1] - d[c - 1]);
      q[r * width + c] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
    }
  }
}

}  // namespace

int ClarityRatio(const std::uint8_t* plane, int width, int height, float& ratio) {
  auto work = AllocArray<std::uint8_t>(static_cast<std::size_t>(width) * height);
  if (!work) return kOutOfMemory;
  const std::uint8_t* q = work.get();
  PositiveSobelX(plane, width, height, work.get());
  float h = 0.0f, v = 0.0f;
  for (int r = 4; r <= height - 5; ++r) {
    for (int c = 8; c <= width - 9; ++c) {
      const int i = r * width + c;
      h += static_cast<float>(std::abs(q[i - 2] + q[i - 1] - q[i] - q[i + 1]));
      v += static_cast<float>(std::abs(q[i - 2 * width] + q[i - width] - q[i] - q[i + width]));
    }
  }
  ratio = v / h;
  return kOk;
}

}  // namespace veltrum
