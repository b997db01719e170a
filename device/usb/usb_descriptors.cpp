#include "usb/usb_descriptors.h"

#include <algorithm>
#include <string>

#include "fvplatform/usb_requests.h"

namespace dravex {
namespace {

using fvplat::usb::GetU16;

constexpr std::uint8_t kTypeDevice = 1, kTypeConfig = 2, kTypeString = 3, kTypeInterface = 4,
                       kTypeEndpoint = 5;
constexpr std::size_t kInterfaceSize = 9, kEndpointSize = 7;

}  // namespace

std::uint32_t MaxPacketSize(std::uint16_t field) {
  return static_cast<std::uint32_t>(field & 0x7FF) * (1u + ((field >> 11) & 3u));
}

bool ParseDeviceDescriptor(const std::uint8_t* d, std::size_t size, UsbDeviceDescriptor* out) {
  if (d == nullptr || size < kDeviceDescriptorSize || d[0] < kDeviceDescriptorSize ||
      d[1] != kTypeDevice) {
    return false;
  }
  UsbDeviceDescriptor r;
  r.bcdUSB = GetU16(d + 2);
  r.deviceClass = d[4];
  r.deviceSubClass = d[5];
  r.deviceProtocol = d[6];
  r.maxPacketSize0 = d[7];
  r.vendorId = GetU16(d + 8);
  r.productId = GetU16(d + 10);
  r.bcdDevice = GetU16(d + 12);
  r.manufacturerIndex = d[14];
  r.productIndex = d[15];
  r.serialIndex = d[16];
  r.numConfigurations = d[17];
  *out = r;
  return true;
}

std::uint16_t ConfigTotalLength(const std::uint8_t* d, std::size_t size) {
  if (d == nullptr || size < kConfigHeadSize || d[0] < kConfigHeadSize || d[1] != kTypeConfig) {
    return 0;
  }
  return GetU16(d + 2);
}

bool ParseConfigDescriptor(const std::uint8_t* d, std::size_t size, UsbConfigDescriptor* out) {
  const std::uint16_t total = ConfigTotalLength(d, size);
  if (total < kConfigHeadSize) return false;
  const std::size_t end = std::min<std::size_t>(total, size);
  UsbConfigDescriptor r;
  r.totalLength = total;
  r.configurationValue = d[5];
  r.attributes = d[7];
  r.maxPower = d[8];
  if (d[0] > end) return false;
  std::size_t at = d[0];
  while (at < end) {
    if (end - at < 2) return false;
    const std::size_t length = d[at];
    const std::uint8_t type = d[at + 1];
    if (length < 2 || length > end - at) return false;
    const std::uint8_t* p = d + at;
    if (type == kTypeInterface) {
      if (length < kInterfaceSize) return false;
      UsbInterfaceDescriptor i;
      i.number = p[2];
      i.altSetting = p[3];
      i.interfaceClass = p[5];
      i.interfaceSubClass = p[6];
      i.interfaceProtocol = p[7];
      r.interfaces.push_back(std::move(i));
    } else if (type == kTypeEndpoint) {
      if (length < kEndpointSize) return false;
      // An endpoint before any interface belongs to none; it is left out.
      if (!r.interfaces.empty()) {
        r.interfaces.back().endpoints.push_back({p[2], p[3], GetU16(p + 4), p[6]});
      }
    }
    at += length;
  }
  *out = std::move(r);
  return true;
}

std::u16string ParseStringDescriptor(const std::uint8_t* d, std::size_t size) {
  if (d == nullptr || size < 2 || d[1] != kTypeString || d[0] < 2) return {};
  const std::size_t end = std::min<std::size_t>(d[0], size);
  std::u16string text;
  for (std::size_t at = 2; at + 1 < end; at += 2) text.push_back(static_cast<char16_t>(GetU16(d + at)));
  return text;
}

std::vector<std::uint16_t> ParseLanguageList(const std::uint8_t* d, std::size_t size) {
  std::vector<std::uint16_t> languages;
  for (char16_t id : ParseStringDescriptor(d, size)) languages.push_back(id);
  return languages;
}

}  // namespace dravex
