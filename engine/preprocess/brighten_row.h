#pragma once
// One row of the local brightening from the column sums of its 7 x 7 windows. The plain form is
// the reference of the vector form, which computes the same single-precision operations in the
// same order for several pixels at a time.

#include <algorithm>
#include <cstdint>

#include "core/image_ref.h"
#include "tables/lookup_tables.h"

namespace veltrum {

inline constexpr int kBrightenReach = 3;
// Column sums with kBrightenReach zero columns on either side, so that every window's columns
// are read without clamping: the columns past the frame count 0.
inline constexpr int kBrightenColumns = kFrameWidth + 2 * kBrightenReach;

// truncate(min(255, k x 2.1)) in integers: k x 21 / 10 with the division as a multiply by
// 2^16 / 10 rounded up, exact while k x 21 stays below 2^16 / 6.
inline constexpr std::int32_t kBrightenScale = 21 * 6554;
constexpr std::int32_t BrightenedMean(std::int32_t k) {
  return std::min(255, (k * kBrightenScale) >> 16);
}

constexpr bool BrightenedMeanIsTheScaledMean() {
  for (int k = 0; k < 256; ++k) {
    if (BrightenedMean(k) != static_cast<std::int32_t>(std::min(255.0, k * 2.1))) return false;
  }
  return true;
}
static_assert(BrightenedMeanIsTheScaledMean());

// Column x's window reads entries x..x + 6 of the finger-pixel counts, value sums and squared
// value sums (each below 2^24, so exact as floats). out[x] for x0 <= x < x1: the brightened mean,
// 255 where the variance is high or maskRow[x] is 0.
inline void BrightenRow(const std::int32_t* count, const std::int32_t* value,
                        const std::int32_t* square, const std::uint8_t* maskRow, int x0, int x1,
                        std::uint8_t* out) {
  const LookupTables& t = Tables();
  const auto window = [](const std::int32_t* column, int x) {
    std::int32_t s = 0;
    for (int k = 0; k <= 2 * kBrightenReach; ++k) s += column[x + k];
    return s;
  };
  for (int x = x0; x < x1; ++x) {
    const float reciprocal = t.ReciprocalTable[window(count, x)];
    const float mean = static_cast<float>(window(value, x)) * reciprocal;
    const float variance = static_cast<float>(window(square, x)) * reciprocal - mean * mean;
    const std::int32_t bright =
        0.02f * variance < 100.0f ? BrightenedMean(static_cast<std::int32_t>(mean)) : 255;
    out[x] = maskRow[x] != 0 ? static_cast<std::uint8_t>(bright) : 255;
  }
}

// The same in the widest vectors the processor has (chosen at run time).
void BrightenRowSimd(const std::int32_t* count, const std::int32_t* value,
                     const std::int32_t* square, const std::uint8_t* maskRow, int x0, int x1,
                     std::uint8_t* out);

}  // namespace veltrum
