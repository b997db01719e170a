#pragma once
// The rotation's resampling in the widest vectors the processor has (chosen at run time).

#include <cstdint>

#include "core/image_ref.h"

namespace veltrum {

// Each scratch plane holds a 4-byte neighbourhood per source pixel.
inline constexpr int kRotateScratchBytes = 4 * kOutWidth * kOutHeight;

// Turns the 140 x 120 image and mask in place with the coefficients of RotationFor, through two
// scratch planes of kRotateScratchBytes: the values of the plain loop in rotate_region.cpp,
// targets off the plane 0.
void RotatePlanesSimd(std::uint8_t* image, std::uint8_t* mask, std::int32_t rc, std::int32_t rs,
                      std::uint8_t* scratchImage, std::uint8_t* scratchMask);

}  // namespace veltrum
