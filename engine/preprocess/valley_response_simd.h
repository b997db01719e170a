#pragma once
// Valley depths of a row in the widest vectors the processor has (chosen at run time). Each
// value is ValleyDepth's to the bit: the same single-precision products and sums in the same
// order, only several pixels at a time.

#include <cstdint>

namespace veltrum {

// out[x] for columns x0..x1 - 1 of row y of a 320-wide plane; the caller keeps every column and
// the row at least 8 pixels inside the plane.
void ValleyRowSimd(const std::uint8_t* plane, int y, int x0, int x1, float* out);

}  // namespace veltrum
