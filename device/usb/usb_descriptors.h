#pragma once
// USB descriptors as the device reports them, parsed without trusting the device.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dravex {

struct UsbDeviceDescriptor {
  std::uint16_t bcdUSB = 0;
  std::uint8_t deviceClass = 0, deviceSubClass = 0, deviceProtocol = 0;
  std::uint8_t maxPacketSize0 = 0;
  std::uint16_t vendorId = 0, productId = 0, bcdDevice = 0;
  std::uint8_t manufacturerIndex = 0, productIndex = 0, serialIndex = 0;
  std::uint8_t numConfigurations = 0;
};

struct UsbEndpointDescriptor {
  std::uint8_t address = 0;     // bit 7 set for IN
  std::uint8_t attributes = 0;  // low two bits: 0 control, 1 isochronous, 2 bulk, 3 interrupt
  std::uint16_t maxPacketField = 0;  // wMaxPacketSize as sent
  std::uint8_t interval = 0;
};

struct UsbInterfaceDescriptor {
  std::uint8_t number = 0, altSetting = 0;
  std::uint8_t interfaceClass = 0, interfaceSubClass = 0, interfaceProtocol = 0;
  std::vector<UsbEndpointDescriptor> endpoints;
};

struct UsbConfigDescriptor {
  std::uint16_t totalLength = 0;
  std::uint8_t configurationValue = 0, attributes = 0, maxPower = 0;
  std::vector<UsbInterfaceDescriptor> interfaces;
};

inline constexpr std::size_t kDeviceDescriptorSize = 18;
inline constexpr std::size_t kConfigHeadSize = 9;

// Bytes per service interval: the packet size times the additional transactions per microframe.
std::uint32_t MaxPacketSize(std::uint16_t maxPacketField);

bool ParseDeviceDescriptor(const std::uint8_t* data, std::size_t size, UsbDeviceDescriptor* out);
// The total length from a configuration descriptor's 9-byte head; 0 when the head is not one.
std::uint16_t ConfigTotalLength(const std::uint8_t* data, std::size_t size);
// Walks the descriptors of one configuration. False, with nothing kept, when a descriptor is
// shorter than 2 bytes, runs past the total length or the received bytes, or is too short
// for its type.
bool ParseConfigDescriptor(const std::uint8_t* data, std::size_t size, UsbConfigDescriptor* out);
// The text of a string descriptor (UTF-16), empty when it is not one.
std::u16string ParseStringDescriptor(const std::uint8_t* data, std::size_t size);
// The language ids of string descriptor 0.
std::vector<std::uint16_t> ParseLanguageList(const std::uint8_t* data, std::size_t size);

}  // namespace dravex
