// Each column's run of finger rows, clipped to the frame, is written row by row over the whole
// plane so that the loop runs along the rows.

#include <algorithm>
#include <array>

#include "core/image_ref.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

int FillFingerMask(const std::int16_t* upper, const std::int16_t* lower, std::uint8_t* mask) {
  constexpr int kW = kFrameWidth, kH = kFrameHeight;
  // Rows fit in bytes, so the row loop compares 16 or more columns at a time.
  std::array<std::uint8_t, kW> first, last;  // first > last: no finger in the column
  int area = 0;
  for (int x = 0; x < kW; ++x) {
    first[x] = 1;
    last[x] = 0;
    if (upper[x] == 0 || lower[x] == 0 || upper[x] > lower[x]) continue;
    const int from = std::max<int>(upper[x], 0), to = std::min<int>(lower[x], kH - 1);
    if (from > to) continue;
    first[x] = static_cast<std::uint8_t>(from);
    last[x] = static_cast<std::uint8_t>(to);
    area += to - from + 1;
  }
  for (int y = 0; y < kH; ++y) {
    std::uint8_t* row = mask + y * kW;
    const auto r = static_cast<std::uint8_t>(y);
    for (int x = 0; x < kW; ++x) row[x] = (first[x] <= r) & (r <= last[x]);
  }
  return area;
}

}  // namespace veltrum
