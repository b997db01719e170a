#pragma once
// Pixel sums of every cell's box at every scale, from one integral image: the local means the
// filter bank removes.

#include <cstddef>
#include <cstdint>

#include "core/image_ref.h"
#include "core/integral_image.h"
#include "feature/grid_origin.h"

namespace veltrum {

inline constexpr std::size_t kBoxIntegralEntries = IntegralImage::Entries(kOutWidth, kOutHeight);

// boxes[cell * 7 + scale] = the sum of the (2h + 1)-square around the cell centre, pixels
// outside the 140 x 120 image counting 0; `integral` holds kBoxIntegralEntries values.
void CellBoxSums(const std::uint8_t* pixels, std::uint32_t* integral, std::int32_t* boxes,
                 const GridParams& grid);

}  // namespace veltrum
