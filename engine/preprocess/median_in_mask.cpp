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

constexpr int kW = kFrameWidth;

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

// The 3 x 3 medians of columns 1..318 of row y, the network run across the row so that the
// compiler keeps many columns in one register.
void RowMedians(const std::uint8_t* plane, int y, std::uint8_t* out) {
  const std::uint8_t* above = plane + (y - 1) * kW;
  const std::uint8_t* here = above + kW;
  const std::uint8_t* below = here + kW;
  for (int x = 1; x < kW - 1; ++x) {
    out[x] = Median9({above[x - 1], above[x], above[x + 1], here[x - 1], here[x], here[x + 1],
                      below[x - 1], below[x], below[x + 1]});
  }
}

}  // namespace

int MedianInMask(std::uint8_t* image, const std::uint8_t* mask, int top, int bottom) {
  return MedianInMaskRows(image, kFrameHeight, mask, top, bottom);
}

int MedianInMaskRows(std::uint8_t* image, int height, const std::uint8_t* mask, int top,
                     int bottom) {
  const std::size_t pixels = static_cast<std::size_t>(kW) * height;
  auto copy = AllocArray<std::uint8_t>(pixels);
  if (!copy) return kFailed;
  std::memcpy(copy.get(), image, pixels);
  // The 3 x 3 window must stay in the frame whatever bounds the caller gives.
  top = std::max(top, 1);
  bottom = std::min(bottom, height - 2);
  // Each column's first run: rows first[x]..last[x] (none when last < first).
  std::array<int, kW> first{}, last{};
  int from = height, to = 0;
  for (int x = 1; x < kW - 1; ++x) {
    int y = top;
    while (y <= height - 2 && mask[y * kW + x] != 1) ++y;
    first[x] = y;
    while (y <= bottom && mask[y * kW + x] == 1) ++y;
    last[x] = y - 1;
    if (first[x] <= last[x]) from = std::min(from, first[x]), to = std::max(to, last[x]);
  }
  std::array<std::uint8_t, kW> medians{};
  for (int y = from; y <= to; ++y) {
    RowMedians(copy.get(), y, medians.data());
    std::uint8_t* row = image + y * kW;
    for (int x = 1; x < kW - 1; ++x) {
      if (first[x] <= y && y <= last[x]) row[x] = medians[x];
    }
  }
  return kOk;
}

}  // namespace veltrum
