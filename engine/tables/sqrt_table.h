#pragma once
// SqrtTable1024[i] = nearest integer to 1024 * sqrt(i), i = 0..1024.

#include <array>
#include <cstdint>

namespace veltrum {

extern const std::array<std::uint16_t, 1025> SqrtTable1024;

}  // namespace veltrum
