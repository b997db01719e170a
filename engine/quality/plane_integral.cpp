#include "quality/plane_integral.h"

#include <algorithm>

#include "core/alloc.h"

namespace veltrum {

bool PlaneIntegral::Build(const std::uint8_t* plane, int width, int height,
                          const std::uint8_t* curve, int first, int last) {
  stride_ = width + 1;
  sums_ = AllocArray<std::uint32_t>(static_cast<std::size_t>(stride_) * (height + 1));
  if (!sums_) return false;
  std::fill(sums_.get(), sums_.get() + stride_, 0u);  // row 0; column 0 is set per row
  for (int r = 0; r < height; ++r) {
    const bool summed = r >= first && r <= last;
    const std::uint8_t* row = plane + static_cast<std::size_t>(r) * width;
    std::uint32_t* above = sums_.get() + static_cast<std::size_t>(r) * stride_;
    std::uint32_t* here = above + stride_;
    std::uint32_t rowSum = 0;
    here[0] = 0;
    for (int c = 0; c < width; ++c) {
      if (summed) rowSum += curve != nullptr ? curve[row[c]] : row[c];
      here[c + 1] = above[c + 1] + rowSum;
    }
  }
  return true;
}

}  // namespace veltrum
