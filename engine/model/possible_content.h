#pragma once
// What enrolment and extraction can write. A template or feature from outside is checked against
// it before use: the dot-product score grows with the cell values, so a forged template of large
// values would otherwise match every finger.

#include <cstdint>

#include "feature/feature_block.h"
#include "feature/grid_origin.h"
#include "model/vein_model.h"

namespace veltrum {

// Cell vectors have a length of about 64/3. Extraction writes min(15, 64 x / 3 / n) of 16 inputs
// x, each 0 or at least 20 (a response is 0 or at least 640, and x is a response >> 5), n being
// the root of their square sum; a merge writes min(15, 65536 m / 3 / n) of 16 averages
// m = 0..15, n being 1024 times their root. So a vector is all zero, or its square sum is at most
// `maxSquares` and, unless a value is 15 (a clamped value hides its share of the length), the sum
// of (value + 1)^2 is at least `minLength` (tools/template_bounds/template_bounds.py works the
// bounds out from these rules).
struct CellBounds {
  int maxSquares;
  int minLength;
};
inline constexpr CellBounds kCaptureCells{471, 456};
inline constexpr CellBounds kMergedCells{456, 456};
// A coarse vector of 60 values of unit length times 126, each rounded: at most
// (126 + 0.5 sqrt(60))^2 in squares, each within -126..126.
inline constexpr int kMaxCoarseSquares = 16867;
inline constexpr int kCoarseLimit = 126;

bool CellVectorPossible(const std::uint8_t* vector, const CellBounds& bounds);
// Four words; bits 8-31 of word 3 are zero, and no 16-bit orientation group holds all ones (its
// bits compare orientations around a circle, so one of them is always 0).
bool CodeRowPossible(const std::uint32_t* row);
// 70 (upper, lower) pairs as the finger mask gives them.
bool EdgePairsPossible(const std::uint8_t* pairs);
// 240 values: four vectors of 60.
bool CoarseVectorPossible(const std::int8_t* coarse);

// A template of one capture holds the coverage maps its edge pairs give, and its cells are held to
// the bounds of a capture; a merge's maps are the larger of its captures' at shifted cells, which
// the template does not record, so any other maps mark a merge, held to the bounds of a merge.
CellBounds TemplateCellBounds(const unsigned char* bytes);
// A feature's coverage maps, block by block, are those its edge pairs give.
bool BlockCoveragePossible(const FeatureBlock& block);

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
