#pragma once
// The steps of the 1:N search: the coarse screen and the keep thresholds.

#include <cstddef>
#include <cstdint>

namespace veltrum {

inline constexpr int kCoarseLevels = 32768;
inline constexpr int kRawLevels = 1000;
inline constexpr int kFirstKeep = 100;   // models past the coarse screen
inline constexpr int kSecondKeep = 50;   // models past the one-block match

// Stage-1 value of a model: the coarse dot product moved to 0..32767. Term by term, the tested
// reference of the vector form (coarse_screen_simd.cpp) that the search uses.
std::int16_t CoarseScreenValue(const std::int8_t* probeCoarse, const std::int8_t* modelCoarse);
std::int16_t CoarseScreenValueSimd(const std::int8_t* probeCoarse, const std::int8_t* modelCoarse);
// The move of a dot product d to 0..32767.
std::int16_t CoarseLevel(std::int32_t d);

// The keep count for `count` models: `keep`, or count when fewer.
inline std::size_t KeepCount(std::size_t count, std::size_t keep) { return count < keep ? count : keep; }

// Walking `histogram` from its top value down, the first value at which the running count
// exceeds `keep`; 0 when it never does. Every model at or above it passes, ties included.
int KeepThreshold(const std::int32_t* histogram, int levels, std::size_t keep);

}  // namespace veltrum
