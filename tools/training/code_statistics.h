#pragma once
// How balanced and how telling the cell codes are under a candidate CellNormTable.

#include <array>
#include <cstdint>
#include <vector>

#include "tables/lookup_tables.h"

namespace training {

struct HeldOutImage {
  int finger;
  std::vector<std::int32_t> responses;  // tilt-0 block
  std::vector<std::uint8_t> coverage27;
};

struct CodeStatistics {
  double minOnes = 1, maxOnes = 0, meanOnes = 0;  // share of 1 bits per code position
  double impostorAgreement = 0, genuineAgreement = 0;
};

CodeStatistics MeasureCodes(const std::vector<HeldOutImage>& images,
                            const std::array<std::int32_t, veltrum::kCellNormEntries>& table);

}  // namespace training
