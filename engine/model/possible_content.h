#pragma once
// What enrolment and extraction can write. A template or feature from outside is checked against
// it before use: the dot-product score grows with the cell values, so a forged template of large
// values would otherwise match every finger.

#include <cstdint>

#include "feature/feature_block.h"
#include "feature/grid_origin.h"
#include "model/vein_model.h"

namespace veltrum {

// Largest sum of the 16 squared values of a cell vector that the nibble scale can give: 800, from
// eight inputs of 1 (norm 2, values 10); merged cells stay at or below 456
// (tools/template_bounds/template_bounds.py).
inline constexpr int kMaxCellSquares = 800;
// A coarse vector of 60 values of unit length times 126, each rounded: at most
// (126 + 0.5 sqrt(60))^2 in squares, each within -126..126.
inline constexpr int kMaxCoarseSquares = 16867;
inline constexpr int kCoarseLimit = 126;

bool CellVectorPossible(const std::uint8_t* vector);
// Four words; bits 8-31 of word 3 are zero, and no 16-bit orientation group holds all ones (its
// bits compare orientations around a circle, so one of them is always 0).
bool CodeRowPossible(const std::uint32_t* row);
// 70 (upper, lower) pairs as the finger mask gives them.
bool EdgePairsPossible(const std::uint8_t* pairs);
// 240 values: four vectors of 60.
bool CoarseVectorPossible(const std::int8_t* coarse);

bool ModelPossible(const VeinModel& model);
// The same check of a stored template read where it lies (no alignment needed), as a search
// checks every template of its list: in vectors (possible_content_simd.cpp), and field by field
// with the checks above, its tested reference.
bool ModelBytesPossible(const unsigned char* bytes);
bool ModelBytesPossiblePlain(const unsigned char* bytes);
// The grid words of a template against the grid its edge pairs give.
bool GridWordsPossible(const unsigned char* bytes, const GridParams& grid);
bool FeaturePossible(const VeinFeature& feature);

}  // namespace veltrum
