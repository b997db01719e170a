// 3 x 3 median over the first run of finger rows in each column, against speckle.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {
namespace {

constexpr int kW = kFrameWidth;

std::uint8_t Median3(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// The 3 x 3 medians of columns 1..318 of row y. Each column's three pixels are sorted once; the
// median of a window is then the median of the largest of its three smallest, the median of its
// three middles and the smallest of its three largest. Being made of minima and maxima only, it
// equals the sorted middle of every window when it does of every 0/1 window.
void RowMedians(const std::uint8_t* plane, int y, std::uint8_t* out) {
  const std::uint8_t* above = plane + (y - 1) * kW;
  const std::uint8_t* here = above + kW;
  const std::uint8_t* below = here + kW;
  std::uint8_t low[kW], middle[kW], high[kW];
  for (int x = 0; x < kW; ++x) {
    const std::uint8_t a = std::min(above[x], here[x]), b = std::max(above[x], here[x]);
    const std::uint8_t c = std::min(b, below[x]);
    low[x] = std::min(a, c);
    middle[x] = std::max(a, c);
    high[x] = std::max(b, below[x]);
  }
  for (int x = 1; x < kW - 1; ++x) {
    const std::uint8_t lows = std::max({low[x - 1], low[x], low[x + 1]});
    const std::uint8_t highs = std::min({high[x - 1], high[x], high[x + 1]});
    out[x] = Median3(lows, Median3(middle[x - 1], middle[x], middle[x + 1]), highs);
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
  // The 3 x 3 window must stay in the frame whatever bounds the caller gives.
  top = std::max(top, 1);
  bottom = std::min(bottom, height - 2);
  if (top > bottom) return kOk;
  // Only the rows that the windows read.
  const std::size_t from = static_cast<std::size_t>(top - 1) * kW;
  std::memcpy(copy.get() + from, image + from, static_cast<std::size_t>(bottom - top + 3) * kW);
  // Walking down the rows: whether each column's first run has begun, and whether this row is
  // in it. Columns 0 and 319 are never filtered.
  std::uint8_t begun[kW] = {}, inRun[kW] = {};
  std::uint8_t medians[kW];
  for (int y = top; y <= bottom; ++y) {
    const std::uint8_t* maskRow = mask + y * kW;
    std::uint8_t any = 0;
    for (int x = 1; x < kW - 1; ++x) {
      const std::uint8_t in = maskRow[x] == 1;
      inRun[x] = in & (inRun[x] | !begun[x]);
      begun[x] |= in;
      any |= inRun[x];
    }
    if (!any) continue;
    RowMedians(copy.get(), y, medians);
    std::uint8_t* row = image + y * kW;
    for (int x = 1; x < kW - 1; ++x) row[x] = inRun[x] ? medians[x] : row[x];
  }
  return kOk;
}

}  // namespace veltrum
