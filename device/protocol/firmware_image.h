#pragma once
// The controller firmware the library downloads into cold 16-bit devices.

#include <array>
#include <cstdint>

namespace dravex {

inline constexpr int kFirmwareImageSize = 8192;
extern const std::array<std::uint8_t, kFirmwareImageSize> kFirmwareImage;

}  // namespace dravex
