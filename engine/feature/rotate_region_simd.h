#pragma once
// The rotation's resampling in the widest vectors the processor has (chosen at run time).

#include <cstdint>

namespace veltrum {

// All 140 x 120 targets of image and mask from the saved planes, with the coefficients of
// RotationFor: the values of the plain loop in rotate_region.cpp, targets off the plane 0. The
// saved planes must be readable 4 bytes past their last pixel.
void RotatePlanesSimd(const std::uint8_t* savedImage, const std::uint8_t* savedMask,
                      std::int32_t rc, std::int32_t rs, std::uint8_t* image, std::uint8_t* mask);

}  // namespace veltrum
