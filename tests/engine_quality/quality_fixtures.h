#pragma once
// Small images for the edge and quality tests.

#include <cstdint>
#include <vector>

#include "sim_finger/finger_generator.h"

namespace fvq {

inline std::vector<std::uint8_t> Flat(std::uint8_t grey) {
  return std::vector<std::uint8_t>(320 * 240, grey);
}

// A sharp bright band of `level` on rows top..end-1 and columns c0..c1-1, background 30.
inline std::vector<std::uint8_t> Slab(int top, int end, int c0, int c1, std::uint8_t level = 150) {
  auto image = Flat(30);
  for (int r = top; r < end; ++r) {
    for (int c = c0; c < c1; ++c) image[r * 320 + c] = level;
  }
  return image;
}

}  // namespace fvq
