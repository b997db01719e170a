#pragma once
// Turns the 140 x 120 image and finger mask together about their centre, in place.

#include <cstdint>

namespace veltrum {

// cos and sin of -atan(tilt), scaled by 2^20.
struct RotationCoefficients {
  std::int32_t rc;
  std::int32_t rs;
};
RotationCoefficients RotationFor(float tilt);

// Bilinear resampling; targets whose source falls off the plane become 0. Tilt 0 touches
// nothing. 0 or kOutOfMemory.
int RotateRegion(std::uint8_t* image, std::uint8_t* mask, float tilt);
// The same without vectors: the reference the vectors are tested against.
int RotateRegionPlain(std::uint8_t* image, std::uint8_t* mask, float tilt);

}  // namespace veltrum
