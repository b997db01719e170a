// 3 x 3 median over the first run of finger rows in each column, against speckle.

#include <algorithm>
#include <array>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

// Median of nine by a fixed exchange network: the same value as a full sort, without branches.
std::uint8_t Median9(std::array<std::uint8_t, 9> p) {
  auto order = [&](int a, int b) {
    const std::uint8_t lo = std::min(p[a], p[b]), hi = std::max(p[a], p[b]);
    p[a] = lo;
    p[b] = hi;
  };
  order(1, 2), order(4, 5), order(7, 8), order(0, 1), order(3, 4), order(6, 7);
  order(1, 2), order(4, 5), order(7, 8), order(0, 3), order(5, 8), order(4, 7);
  order(3, 6), order(1, 4), order(2, 5), order(4, 7), order(4, 2), order(6, 4);
  order(4, 2);
  return p[4];
}

}  // namespace

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
      image[y * kW + x] = Median9(window);
    }
  }
  return kOk;
}

}  // namespace veltrum
