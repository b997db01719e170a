#pragma once
// A cell vector: 16 four-bit values in 8 bytes, value 2i in the high nibble of byte i and value
// 2i + 1 in its low nibble.

#include <cstdint>

namespace veltrum {

inline int CellNibble(const std::uint8_t* vector, int t) {
  const std::uint8_t byte = vector[t / 2];
  return t % 2 == 0 ? byte >> 4 : byte & 15;
}

// Sum over the 16 positions of the products of two cell vectors.
inline int NibbleDot(const std::uint8_t* a, const std::uint8_t* b) {
  int d = 0;
  for (int i = 0; i < 8; ++i) d += (a[i] >> 4) * (b[i] >> 4) + (a[i] & 15) * (b[i] & 15);
  return d;
}

}  // namespace veltrum
