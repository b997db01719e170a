#pragma once
// How balanced and how telling the cell codes are under a candidate CellNormTable.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tables/lookup_tables.h"

namespace training {

using CellNormValues = std::array<std::int32_t, veltrum::kCellNormEntries>;

struct HeldOutImage {
  std::string finger;  // one label per finger (and device, where a finger was taken on several)
  std::vector<std::int32_t> responses;  // tilt-0 block
  std::vector<std::uint8_t> coverage27;
};

// Cells whose radius-27 coverage reaches this count; the others weigh little in matching.
inline constexpr int kCoveredCell = 128;

struct CodeStatistics {
  double minOnes = 1, maxOnes = 0, meanOnes = 0;  // share of 1 bits per code position
  double meanImbalance = 0;  // mean over code positions of |share of 1 bits - 0.5|
  double impostorAgreement = 0, genuineAgreement = 0;  // agreeing share at zero shift
  long impostorPairs = 0, genuinePairs = 0;
};

// Over covered cells; agreement over every pair of images (both cells covered).
CodeStatistics MeasureCodes(const std::vector<HeldOutImage>& images, const CellNormValues& table);

}  // namespace training
