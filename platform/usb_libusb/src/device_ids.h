#pragma once
// The vendor and product ids the backend takes for the capture device.

#include <cstdint>
#include <string>
#include <vector>

namespace fvusb {

struct DeviceId {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  friend bool operator==(const DeviceId&, const DeviceId&) = default;
};

// Environment variable listing the ids as "vvvv:pppp" in hexadecimal, separated by commas.
inline constexpr const char* kDeviceIdsEnv = "FV_USB_IDS";

// The ids of a list; an entry that is not two hexadecimal words of at most four digits is
// skipped, so a typing error never matches a stranger's device.
std::vector<DeviceId> ParseDeviceIds(const std::string& text);

}  // namespace fvusb
