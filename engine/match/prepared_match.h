#pragma once
// A probe block and a template laid out once so that the sums of every shift are lane-wise
// vector work: a shift becomes a window into the probe's rows, with no index per sample.
//
// Template lanes: an A-sample row as the 22 grid columns (32 lanes, weight 0 where no sample
// lies); a B-sample row as its 14 samples in order (16 lanes, weight 0 in the last two).
// Probe lanes: for A, lane L of a grid row holds column L - 8, so that the template's column c
// meets probe column c + cs at lane c + 8 + cs; for B, the sample columns come in pairs 3m + 1,
// 3m + 2, so each grid row is kept three times, once per (cs + 1) mod 3, as pairs of columns
// three apart, and a shift reads 16 lanes from pair (cs + 1) / 3 + 3 (rounded down).
// Cells off the grid have weight 0 and zero values, so they add nothing to any sum.

#include <cstdint>

#include "feature/feature_block.h"
#include "model/sample_cells.h"
#include "model/vein_model.h"

namespace veltrum {

inline constexpr int kAModelLanes = 32;       // grid columns of an A-sample row, padded
inline constexpr int kAProbeLanes = 48;       // 8 lanes before column 0, room for cs = 8
inline constexpr int kAProbeColumn0 = 8;
inline constexpr int kBModelLanes = 16;       // the 14 samples of a B-sample row, padded
inline constexpr int kBProbeLanes = 32;       // 16 column pairs, room for a window from pair 6
inline constexpr int kBProbePair0 = 3;        // pair of (cs + 1) / 3 = 0
inline constexpr int kBPlanes = 5;            // four code words and the radius-27 coverage
inline constexpr int kCellValues = 16;

struct PreparedBlock {
  std::uint32_t codes[kGridRows][3][kBPlanes][kBProbeLanes];
  std::uint8_t coverage15[kGridRows][kAProbeLanes];
  std::uint8_t values[kGridRows][kCellValues][kAProbeLanes];  // 4-bit values, one a byte
};

struct PreparedModel {
  std::uint32_t codes[7][kBPlanes][kBModelLanes];  // words 0-3, then the code weight
  std::uint8_t cellWeights[8][kAModelLanes];
  std::uint8_t values[8][kCellValues][kAModelLanes];
};

// Every cell of a block, for the enrolment's match of two blocks: lane L of a row holds column
// L - 8 (as the probe's A lanes above), so that the reference is read from lane 8 and the other
// block from lane 8 + cs; 32 lanes cover the 22 columns.
struct PreparedCells {
  std::uint8_t coverage15[kGridRows][kAProbeLanes];
  std::uint8_t values[kGridRows][kCellValues][kAProbeLanes];
  std::uint32_t codes[kGridRows][kBPlanes][kAProbeLanes];  // words 0-3, then radius-27 coverage
};

void PrepareBlock(const FeatureBlock& block, PreparedBlock& out);
void PrepareCells(const FeatureBlock& block, PreparedCells& out);
// From a stored template where it lies (no alignment needed).
void PrepareModel(const unsigned char* model, PreparedModel& out);
inline void PrepareModel(const VeinModel& model, PreparedModel& out) {
  PrepareModel(reinterpret_cast<const unsigned char*>(&model), out);
}

// Where a shift's windows start: the A lane of template column 0 and the B pair layout and lane.
inline int AWindow(int cs) { return kAProbeColumn0 + cs; }
inline int BVariant(int cs) { return ((cs + 1) % 3 + 3) % 3; }
inline int BWindow(int cs) { return 2 * ((cs + 1 - BVariant(cs)) / 3 + kBProbePair0); }

}  // namespace veltrum
