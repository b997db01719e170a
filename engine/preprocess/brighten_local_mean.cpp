// Each inner-mask pixel becomes its brightened 7 x 7 mean; places of high local variance turn
// white.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/brighten_row.h"
#include "preprocess/preprocess_steps.h"

namespace veltrum {

namespace {

constexpr int kW = kFrameWidth;
constexpr int kReach = kBrightenReach;

// Per column, over the window's rows: finger pixels, their values and their squared values.
struct ColumnSums {
  std::int32_t count[kBrightenColumns];
  std::int32_t value[kBrightenColumns];
  std::int32_t square[kBrightenColumns];
};

// Adds (kAdd) or removes the finger pixels of one row.
template <bool kAdd>
void AddRow(ColumnSums& c, const std::uint8_t* maskRow, const std::uint8_t* valueRow) {
  for (int x = 0; x < kW; ++x) {
    const std::int32_t in = maskRow[x] != 0 ? 1 : 0;
    const std::int32_t v = in * valueRow[x];
    // A byte's square fits 16 bits.
    const std::int32_t square = static_cast<std::uint16_t>(v * v);
    if constexpr (kAdd) {
      c.count[x + kReach] += in, c.value[x + kReach] += v, c.square[x + kReach] += square;
    } else {
      c.count[x + kReach] -= in, c.value[x + kReach] -= v, c.square[x + kReach] -= square;
    }
  }
}

}  // namespace

int BrightenLocalMean(std::uint8_t* image, const std::uint8_t* mask,
                      [[maybe_unused]] std::uint8_t* scratch, int top, int bottom) {
  // The window sums roll down the rows over a copy of the image, so the caller's scratch area
  // is not needed.
  auto copy = AllocArray<std::uint8_t>(kFramePixels);
  auto sums = AllocZeroedArray<ColumnSums>(1);
  if (!copy || !sums) return kFailed;
  std::memcpy(copy.get(), image, kFramePixels);
  std::memset(image, 255, kFramePixels);
  ColumnSums& c = sums[0];
  // Only rows top..bottom count, as the frame's rows.
  const int first = std::max(top, 0), last = std::min(bottom, kFrameHeight - 1);
  for (int r = first; r <= std::min(first + kReach - 1, last); ++r) {
    AddRow<true>(c, mask + r * kW, copy.get() + r * kW);
  }
  for (int y = first; y <= last; ++y) {
    if (y + kReach <= last)
      AddRow<true>(c, mask + (y + kReach) * kW, copy.get() + (y + kReach) * kW);
    if (y - kReach - 1 >= first) {
      AddRow<false>(c, mask + (y - kReach - 1) * kW, copy.get() + (y - kReach - 1) * kW);
    }
    BrightenRowSimd(c.count, c.value, c.square, mask + y * kW, 0, kW, image + y * kW);
  }
  return kOk;
}

}  // namespace veltrum
