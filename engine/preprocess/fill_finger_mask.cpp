#include <cstring>

#include "core/image_ref.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

int FillFingerMask(const std::int16_t* upper, const std::int16_t* lower, std::uint8_t* mask) {
  std::memset(mask, 0, kFramePixels);
  int area = 0;
  for (int x = 0; x < kFrameWidth; ++x) {
    if (upper[x] == 0 || lower[x] == 0 || upper[x] > lower[x]) continue;
    for (int y = upper[x]; y <= lower[x] && y < kFrameHeight; ++y) {
      if (y < 0) continue;
      mask[y * kFrameWidth + x] = 1;
      ++area;
    }
  }
  return area;
}

}  // namespace veltrum
