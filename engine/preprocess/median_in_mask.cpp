// 3 x 3 median over the first run of finger rows in each column, against speckle.

#include <algorithm>
#include <array>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

int MedianInMask(std::uint8_t* image, const std::uint8_t* mask, int top, int bottom) {
  return MedianInMaskRows(image, kFrameHeight, mask, top, bottom);
}

int MedianInMaskRows(std::uint8_t* image, int height, const std::uint8_t* mask, int top,
                     int bottom) {
  constexpr int kW = kFrameWidth;
  const std::size_t pixels = static_cast<std::size_t>(kW) * height;
  auto copy = AllocArray<std::uint8_t>(pixels);
  if (!copy) return kFailed;
  std::memcpy(copy.get(), image, pixels);
  // The 3 x 3 window must stay in the frame whatever bounds the caller gives.
  top = std::max(top, 1);
  bottom = std::min(bottom, height - 2);
  for (int x = 1; x < kW - 1; ++x) {
    int y = top;
    while (y <= height - 2 && mask[y * kW + x] != 1) ++y;
    for (; y <= bottom && mask[y * kW + x] == 1; ++y) {
      std::array<std::uint8_t, 9> window;
      for (int k = 0; k < 9; ++k) window[k] = copy[(y - 1 + k / 3) * kW + x - 1 + k % 3];
      std::nth_element(window.begin(), window.begin() + 4, window.end());
      image[y * kW + x] = window[4];
    }
  }
  return kOk;
}

}  // namespace veltrum
