#pragma once
// Lookup tables built at Init so that image loops only read: roots, reciprocals, fall-off weights.

#include <array>
#include <cstdint>

namespace veltrum {

struct RowWindow {
  std::uint16_t low;
  std::uint16_t high;
};

inline constexpr int kCellNormEntries = 15 * 22 * 7 * 16;  // cells x scales x orientations
inline constexpr int kOrientedLineEntries = 32 * 24 * 5;

struct LookupTables {
  std::array<std::uint8_t, 256> ScaledRootTable;
  // Index x + 256 for x = -256..255.
  std::array<float, 512> FalloffTable256;
  std::array<float, 512> FalloffTable320;
  std::array<float, 512> FalloffTable512;
  std::array<std::uint16_t, 1024> RampTable;
  std::array<RowWindow, 240> WindowRows3;
  std::array<RowWindow, 320> WindowCols3;
  std::array<float, 256> ReciprocalTable;
  std::array<float, kCellNormEntries> CellNormReciprocal;
  // (orientation * 24 + position) * 5 + offset; entry = 288 * dy + dx.
  std::array<std::int16_t, kOrientedLineEntries> OrientedLineOffsets;
};

// Builds the tables once per process; later calls return at once.
void BuildLookupTables();
// All zero until the first BuildLookupTables.
const LookupTables& Tables();

}  // namespace veltrum
