#pragma once
// Fields of the device information record that the library reads (little-endian, unaligned).

#include <cstdint>

#include "dravex.h"

namespace dravex {

inline int devInfoByte(const FvDevInfo& info, int offset) {
  return reinterpret_cast<const std::uint8_t*>(&info)[offset];
}
inline int devInfoWord(const FvDevInfo& info, int offset) {
  return devInfoByte(info, offset) | devInfoByte(info, offset + 1) << 8;
}

inline int devInfoType(const FvDevInfo& info) { return devInfoByte(info, 18); }
inline int devInfoProductId(const FvDevInfo& info) { return devInfoWord(info, 20); }
inline int devInfoWidth(const FvDevInfo& info) { return devInfoWord(info, 23); }
inline int devInfoHeight(const FvDevInfo& info) { return devInfoWord(info, 25); }
inline int devInfoMaxExposure(const FvDevInfo& info) { return devInfoWord(info, 27); }

// Types 3, 16 and 18 send 16-bit frames from two sensors.
inline bool isTwoSensorType(int deviceType) {
  return deviceType == 3 || deviceType == 16 || deviceType == 18;
}

}  // namespace dravex
