#pragma once
// The inner loop of the finger rotation: one output row's run of columns whose source positions
// lie inside the frame, in plain code and in the widest vectors the processor has.

#include <cstdint>

namespace veltrum {

// Source word of a pixel: image byte, bit 8 the first mask, bit 9 the second (masks of 0 and 1).
inline std::uint16_t PackRotateSource(std::uint8_t image, std::uint8_t mask1, std::uint8_t mask2) {
  return static_cast<std::uint16_t>(image | mask1 << 8 | mask2 << 9);
}

// Output columns xa..xb-1 of one row; column xa samples source position (row, col) in 2^20
// units, each next column (row - s, col + c). Every position of the run lies inside the limits
// of the rotation, so 32 bits carry them. Sources are 320 x 240: `packed` holds the image in
// its low bytes (and, for the vector loop, both masks as 0 or 1), `mask1` and `mask2` the masks.
struct RotateRun {
  const std::uint16_t* packed;
  const std::uint8_t* mask1;
  const std::uint8_t* mask2;
  std::uint8_t* dst[3];  // the output row of the image and of each mask
  std::int32_t row, col, c, s;
  int xa, xb;
};

// The bilinear blend of every column of the run into the three planes (any mask values).
void ResampleRunPlain(const RotateRun& run);
// The same in vectors, reading only `packed`: the whole run (xb) when it is at least one vector
// long, else nothing (xa). The first column left undone.
int ResampleRunVectors(const RotateRun& run);

}  // namespace veltrum
