// Each inner-mask pixel becomes its brightened 7 x 7 mean; places of high local variance turn
// white.

#include <algorithm>
#include <cstring>

#include "core/alloc.h"
#include "core/image_ref.h"
#include "core/status.h"
#include "preprocess/preprocess_image.h"
#include "preprocess/preprocess_steps.h"
#include "tables/lookup_tables.h"

namespace veltrum {

namespace {

constexpr int kW = kFrameWidth;
constexpr int kReach = 3;
// Column sums with kReach zero columns on either side, so that every window's columns are read
// without clamping: the columns past the frame count 0.
constexpr int kPadded = kW + 2 * kReach;

// Per column, over the window's rows: finger pixels, their values and their squared values.
// Window sums stay below 2^24 (49 x 255^2), so every one is exact as an integer and as a float.
struct ColumnSums {
  std::int32_t count[kPadded];
  std::int32_t value[kPadded];
  std::int32_t square[kPadded];
};

// truncate(min(255, k x 2.1)) in integers: k x 21 / 10 with the division as a multiply by
// 2^16 / 10 rounded up, exact below 2^16 / 6 x 10.
constexpr std::int32_t Brightened(std::int32_t k) {
  return std::min(255, (k * 137634) >> 16);
}

constexpr bool BrightenedIsTheScaledMean() {
  for (int k = 0; k < 256; ++k) {
    if (Brightened(k) != static_cast<std::int32_t>(std::min(255.0, k * 2.1))) return false;
  }
  return true;
}
static_assert(BrightenedIsTheScaledMean());

// Adds (sign 1) or removes (sign -1) the finger pixels of one row.
void AddRow(ColumnSums& c, const std::uint8_t* maskRow, const std::uint8_t* valueRow, int sign) {
  for (int x = 0; x < kW; ++x) {
    const std::int32_t in = maskRow[x] != 0 ? sign : 0;
    const std::int32_t v = valueRow[x];
    c.count[x + kReach] += in;
    c.value[x + kReach] += in * v;
    c.square[x + kReach] += in * v * v;
  }
}

std::int32_t WindowSum(const std::int32_t* column, int x) {
  std::int32_t s = 0;
  for (int k = 0; k <= 2 * kReach; ++k) s += column[x + k];
  return s;
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
  const LookupTables& t = Tables();
  // Only rows top..bottom count, as the frame's rows.
  const int first = std::max(top, 0), last = std::min(bottom, kFrameHeight - 1);
  for (int r = first; r <= std::min(first + kReach - 1, last); ++r) {
    AddRow(c, mask + r * kW, copy.get() + r * kW, 1);
  }
  std::int32_t count[kW], value[kW], square[kW];
  float reciprocal[kW];
  for (int y = first; y <= last; ++y) {
    if (y + kReach <= last) AddRow(c, mask + (y + kReach) * kW, copy.get() + (y + kReach) * kW, 1);
    if (y - kReach - 1 >= first) {
      AddRow(c, mask + (y - kReach - 1) * kW, copy.get() + (y - kReach - 1) * kW, -1);
    }
    for (int x = 0; x < kW; ++x) {
      count[x] = WindowSum(c.count, x);
      value[x] = WindowSum(c.value, x);
      square[x] = WindowSum(c.square, x);
    }
    for (int x = 0; x < kW; ++x) reciprocal[x] = t.ReciprocalTable[count[x]];
    const std::uint8_t* maskRow = mask + y * kW;
    std::uint8_t* out = image + y * kW;
    for (int x = 0; x < kW; ++x) {
      const float mean = static_cast<float>(value[x]) * reciprocal[x];
      const float variance = static_cast<float>(square[x]) * reciprocal[x] - mean * mean;
      const std::int32_t bright = 0.02f * variance < 100.0f ? Brightened(static_cast<int>(mean)) : 255;
      out[x] = maskRow[x] != 0 ? static_cast<std::uint8_t>(bright) : 255;
    }
  }
  return kOk;
}

}  // namespace veltrum
