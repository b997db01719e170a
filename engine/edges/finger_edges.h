#pragma once
// Finger edges: per column the row of the finger's upper and lower edge, 0 = no edge.
// `upper` and `lower` are caller-owned arrays of 320 signed 16-bit rows each.

#include <cstdint>

namespace veltrum {

inline constexpr int kEdgeColumns = 320;

// A column holds the finger when both its edges are non-zero (edge rows or edge tracks).
template <class Row>
constexpr bool HasBothEdges(const Row* upper, const Row* lower, int column) {
  return upper[column] != 0 && lower[column] != 0;
}

// By engine mode: 0 -> FindFingerEdgesMode0, 1 and 2 -> FindFingerEdgesMode12; other modes -1.
int FindFingerEdges(const std::uint8_t* image, std::int16_t* upper, std::int16_t* lower);
int FindFingerEdgesMode0(const std::uint8_t* image, std::int16_t* upper, std::int16_t* lower);
int FindFingerEdgesMode12(const std::uint8_t* image, std::int16_t* upper, std::int16_t* lower);

}  // namespace veltrum
