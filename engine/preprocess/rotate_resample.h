#pragma once
// The inner loop of the finger rotation: one output row's run of columns whose source positions
// lie inside the frame, in plain code and in the widest vectors the processor has.

#include <cstdint>

namespace veltrum {

// Output columns xa..xb-1 of one row; column xa samples source position (row, col) in 2^20
// units, each next column (row - s, col + c). Every position of the run lies inside the limits
// of the rotation, so 32 bits carry them. Source planes (320 x 240) are readable 3 bytes past
// their end.
struct RotateRun {
  const std::uint8_t* src[3];
  std::uint8_t* dst[3];  // the output row of each plane
  std::int32_t row, col, c, s;
  int xa, xb;
};

// The bilinear blend of every column of the run into the three planes.
void ResampleRunPlain(const RotateRun& run);
// The same in whole vectors from xa; the first column left undone.
int ResampleRunVectors(const RotateRun& run);

}  // namespace veltrum
