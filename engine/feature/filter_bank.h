#pragma once
// Seven-scale, sixteen-orientation local energy at every grid cell of a block.

#include <cstdint>

#include "core/image_ref.h"
#include "feature/grid_origin.h"

namespace veltrum {

inline constexpr int kScales = 7;
inline constexpr int kOrientations = 16;
inline constexpr int kCellResponses = kScales * kOrientations;  // 112
inline constexpr int kResponseEntries = 330 * kCellResponses;    // 36960

constexpr int ResponseIndex(int cell, int scale, int orientation) {
  return (cell * kScales + scale) * kOrientations + orientation;
}

// Fills the 36960-entry response table from the 140 x 120 enhanced image; 0 or -1 when
// working memory is short. Any origin row; the columns are laid out for the fixed column step 6
// and a first column from 0 to 13 (the engine's grid has 6).
int FilterBankResponses(const ImageRef& image, std::int32_t* responses, const GridParams& grid);
// The same without vectors of the processor's width: the reference the vectors are tested
// against.
int FilterBankResponsesPlain(const ImageRef& image, std::int32_t* responses,
                             const GridParams& grid);

}  // namespace veltrum
