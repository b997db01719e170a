#pragma once
// Share of a square window around each cell that lies on the finger band, 0..255.

#include <cstdint>

#include "feature/grid_origin.h"

namespace veltrum {

inline constexpr int kCoverageRadiusA = 15;
inline constexpr int kCoverageRadiusB = 27;

// 330 bytes in cell order; 0 or -1 when working memory is short.
int ComputeCoverageGrid(std::uint8_t* out, const std::uint8_t* edgePairs, int radius,
                        const GridParams& grid);
// The same 330 bytes with its counters on the stack, so that it cannot fail: for the checks of
// templates and features from outside, which recompute the maps the edge pairs give.
void CoverageGridOnStack(std::uint8_t* out, const std::uint8_t* edgePairs, int radius,
                         const GridParams& grid);
// 144 bytes (A-samples) for radius 15, else 98 (B-samples); 0 or -1.
int ComputeCoverageSamples(std::uint8_t* out, const std::uint8_t* edgePairs, int radius,
                           const GridParams& grid);

}  // namespace veltrum
